#!/usr/bin/env bash
# Runs a Windows program of the build in the tests' prefix: the test
# launcher ctest uses for every test executable.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" ""
exec wine "$@"

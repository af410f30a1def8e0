#!/usr/bin/env bash
# Sets up the machine, builds Korvelink and starts it under Wine on the
# current display, in the user's own prefix (made on the first start, never
# touched by the tests): its settings, history and videos outlive the build
# tree and every test run.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$(cd "$here/.." && pwd)/build}"
. "$here/wine-env.sh" --user
"$here/setup.sh"
"$here/build.sh" Korvelink
"$here/wine-prefix.sh" --user
exec wine "$KORVELINK_BUILD/bin/Korvelink.exe"

#!/usr/bin/env bash
# Sets up the machine, builds Korvelink and starts it under Wine on the
# current display (in the project's private prefix).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export KORVELINK_BUILD="${KORVELINK_BUILD:-$(cd "$here/.." && pwd)/build}"
"$here/setup.sh"
"$here/build.sh" Korvelink
. "$here/wine-env.sh"
[ -f "$WINEPREFIX/system.reg" ] || "$here/wine-prefix.sh"
exec wine "$KORVELINK_BUILD/bin/Korvelink.exe"

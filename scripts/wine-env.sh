# Sourced: points Wine at the project's private prefix inside the build tree,
# so nothing of the user's own Wine set-up is touched.
: "${KORVELINK_BUILD:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export WINEPREFIX="$KORVELINK_BUILD/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mshtml=d;mscoree=d;winemenubuilder.exe=d"

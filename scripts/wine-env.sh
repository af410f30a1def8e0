# Sourced by every script that runs Wine. Two prefixes with two owners:
#   . wine-env.sh          the tests' and benchmarks' own prefix in the build
#                          tree, made anew for each test run
#   . wine-env.sh --user   the user's prefix, where the run command starts the
#                          program and keeps its settings, history and videos;
#                          no script deletes it or writes into it once made
# Stops the calling script when the two would be one folder, or one inside
# the other, before anything is touched.
: "${KORVELINK_BUILD:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
KORVELINK_TEST_PREFIX="$KORVELINK_BUILD/wineprefix"
# A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
korvelink_data_home="${XDG_DATA_HOME:-}"
[[ "$korvelink_data_home" == /* ]] || korvelink_data_home="${HOME:-~}/.local/share"
KORVELINK_USER_PREFIX="$korvelink_data_home/korvelink/wineprefix"
unset korvelink_data_home

korvelink_prefixes_apart() {
    local test user
    test="$(realpath -m "$KORVELINK_TEST_PREFIX")"
    user="$(realpath -m "$KORVELINK_USER_PREFIX")"
    if [[ "$test/" == "$user/"* || "$user/" == "$test/"* ]]; then
        cat >&2 <<MSG
Stopped: the tests' Wine prefix and your own would share one folder.
    tests' prefix (deleted and made anew by every test run): $test
    your prefix (settings, history and videos of scripts/run.sh): $user
Point KORVELINK_BUILD or XDG_DATA_HOME elsewhere so that neither lies in
the other. Nothing was changed.
MSG
        return 1
    fi
}
korvelink_prefixes_apart || exit 1

if [ "${1:-}" = --user ]; then
    export WINEPREFIX="$KORVELINK_USER_PREFIX"
else
    # An Init.dat beside the build's program keeps the program's data in
    # build/bin itself, where the tests' runs of it would overwrite it.
    if [ -f "$KORVELINK_BUILD/bin/Init.dat" ]; then
        cat >&2 <<MSG
Stopped: $KORVELINK_BUILD/bin/Init.dat can make Korvelink.exe keep its
settings and history beside itself, where the tests' runs of the program
would overwrite them. Move that Init.dat (and the data beside it) out of the build
tree to run the tests. Nothing was changed.
MSG
        exit 1
    fi
    export WINEPREFIX="$KORVELINK_TEST_PREFIX"
fi
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mshtml=d;mscoree=d;winemenubuilder.exe=d"

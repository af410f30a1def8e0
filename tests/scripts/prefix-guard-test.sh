#!/usr/bin/env bash
# The user's Wine prefix holds their settings, history and videos: every
# script that runs the tests or benchmarks must stop before touching
# anything when the tests' prefix would be that folder, lie in it or hold
# it, and the user's prefix once made is never changed by a script.
# Runs copies of the scripts with Wine, setup and build replaced by stubs
# that leave a mark, so a guard that lets a run through is seen without
# running it.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
scripts="$(cd "$here/../../scripts" && pwd)"
site="$(cd "$here/../fakesite" && pwd)"
t="$(mktemp -d /tmp/kv-prefix-guard.XXXXXX)"
trap 'rm -rf "$t"' EXIT

mkdir -p "$t/repo/tests" "$t/stubs"
cp -r "$scripts" "$t/repo/scripts"
cp -r "$site" "$t/repo/tests/fakesite"
for stub in repo/scripts/setup.sh repo/scripts/build.sh stubs/wine stubs/wineboot stubs/wineserver stubs/xvfb-run; do
    printf '#!/bin/sh\necho "$0" >>"%s/touched"\nexit 1\n' "$t" >"$t/$stub"
    chmod +x "$t/$stub"
done
export PATH="$t/stubs:$PATH"
unset DISPLAY

passed=0 failed=0
check() {  # name condition-result
    if [ "$2" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1"; fi
}

# A run that must stop: non-zero, says why, runs no stub, and the file in
# the user's prefix ($kept, when set) is still theirs.
kept=""
expect_stop() {  # case entry...
    local name="$1"
    shift
    rm -f "$t/touched"
    "$@" >"$t/out" 2>&1
    local rc=$?
    [ "$rc" -ne 0 ] && grep -q '^Stopped:' "$t/out" && [ ! -e "$t/touched" ] &&
        { [ -z "$kept" ] || [ "$(cat "$kept" 2>/dev/null)" = mine ]; }
    local ok=$?
    check "$name: $* (rc $rc, touched: $(cat "$t/touched" 2>/dev/null | xargs -r basename -a | xargs), $(head -c 300 "$t/out"))" $ok
}

entries=(
    "bash $t/repo/scripts/test.sh"
    "bash $t/repo/scripts/test.sh --inner"
    "bash $t/repo/scripts/wine-prefix.sh"
    "bash $t/repo/scripts/wine-exec.sh Some.exe"
    "bash $t/repo/scripts/bench-history.sh"
    "bash $t/repo/scripts/bench-http.sh"
    "bash $t/repo/scripts/bench-input.sh"
    "bash $t/repo/tests/fakesite/run-with-site.sh true"
    "bash $t/repo/scripts/run.sh"
)

# Case: name, HOME, XDG_DATA_HOME, KORVELINK_BUILD; the user's prefix gets a
# file of theirs before each run.
mkdir -p "$t/case/home"
ln -s "$t/case/sym/korvelink" "$t/case/link"
cases=(
    "same folder|$t/case/home|$t/case/same|$t/case/same/korvelink"
    "user's prefix inside the tests'|$t/case/home|$t/case/build/wineprefix/drive_c|$t/case/build"
    "tests' prefix inside the user's|$t/case/home|$t/case/in|$t/case/in/korvelink/wineprefix/build"
    "same folder through a link|$t/case/home|$t/case/sym|$t/case/link"
    "relative XDG_DATA_HOME ignored|$t/case/home|relative/data|$t/case/home/.local/share/korvelink"
)
for c in "${cases[@]}"; do
    IFS='|' read -r name home data build <<<"$c"
    user="$home/.local/share"
    [[ "$data" == /* ]] && user="$data"
    kept="$user/korvelink/wineprefix/kept"
    mkdir -p "$(dirname "$kept")"
    echo mine >"$kept"
    for entry in "${entries[@]}"; do
        # shellcheck disable=SC2086
        HOME="$home" XDG_DATA_HOME="$data" KORVELINK_BUILD="$build" expect_stop "$name" $entry
    done
    rm -rf "$t/case/same" "$t/case/build" "$t/case/in" "$t/case/sym" "$t/case/home/.local"
done

kept=""

# Apart, the guards let the runs through: the stubs are reached.
export HOME="$t/apart/home" KORVELINK_BUILD="$t/apart/build"
unset XDG_DATA_HOME
rm -f "$t/touched"
bash "$t/repo/scripts/test.sh" >/dev/null 2>&1
grep -q 'setup.sh$' "$t/touched"
check "apart: test.sh goes on to the set-up" $?
rm -f "$t/touched"
bash "$t/repo/scripts/run.sh" >/dev/null 2>&1
grep -q 'setup.sh$' "$t/touched"
check "apart: run.sh goes on to the set-up" $?

# An Init.dat beside the build's program stops the test side only.
mkdir -p "$KORVELINK_BUILD/bin"
echo '[General]' >"$KORVELINK_BUILD/bin/Init.dat"
for entry in "${entries[@]:0:8}"; do
    # shellcheck disable=SC2086
    expect_stop "Init.dat in the build's bin" $entry
done
(. "$t/repo/scripts/wine-env.sh" --user && [ "$WINEPREFIX" = "$HOME/.local/share/korvelink/wineprefix" ])
check "Init.dat in the build's bin: the run command's prefix is still the user's" $?
rm "$KORVELINK_BUILD/bin/Init.dat"

# The user's prefix, once there, is never made again nor changed.
user="$HOME/.local/share/korvelink/wineprefix"
mkdir -p "$user/drive_c/users/me"
echo '[General]' >"$user/drive_c/users/me/Config.ini"
ln -s "$HOME" "$user/drive_c/users/me/Documents"
before="$(cd "$user" && find . -printf '%p %l %s %T@\n' | sort | md5sum)"
rm -f "$t/touched"
bash "$t/repo/scripts/wine-prefix.sh" --user >"$t/out" 2>&1
rc=$?
after="$(cd "$user" && find . -printf '%p %l %s %T@\n' | sort | md5sum)"
[ "$rc" -eq 0 ] && [ ! -e "$t/touched" ] && [ "$before" = "$after" ] && [ ! -e "$user.making" ]
check "an existing user's prefix is left as it is (rc $rc)" $?

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

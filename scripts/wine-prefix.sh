#!/usr/bin/env bash
# Makes a Wine prefix with what the program and its tests need under Wine:
# Wine's Tahoma (its bold made from the regular) and Marlett, a virtual
# desktop with a notification area and no crash dialog. The two prefixes
# differ only in their folder links and in who may delete them:
#   wine-prefix.sh          the tests' prefix in the build tree, deleted and
#                           made anew (once per test run); Documents,
#                           Desktop... become real folders of it
#   wine-prefix.sh --user   the user's prefix for the run command, made only
#                           when missing and never changed afterwards; Wine's
#                           links of Documents, Desktop... to the home folder
#                           are kept
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mode="${1:-}"
if [ "$mode" != "" ] && [ "$mode" != --user ]; then
    echo "usage: $0 [--user]" >&2
    exit 2
fi
. "$here/wine-env.sh" "$mode"
target="$WINEPREFIX"

make_prefix() {  # folder
    export WINEPREFIX="$1"
    mkdir -p "$(dirname "$WINEPREFIX")"
    # The wineserver these start must not hold the caller's lock.
    wineboot -i >/dev/null 2>&1 9>&-
    wineserver -w
    if [ "$mode" != --user ]; then
        # Wine links the user's Documents, Desktop, Downloads... to the Unix
        # home folder, so every test prefix of one user would download into
        # one folder and two runs at once would delete each other's files.
        for link in "$WINEPREFIX"/drive_c/users/*/*; do
            if [ -L "$link" ]; then
                rm -f "$link"
                mkdir -p "$link"
            fi
        done
    fi
    # Wine's own Tahoma and Marlett (the window font and the caption-button
    # glyphs) are only found in the prefix's Fonts folder. Not its Tahoma
    # Bold: from 13 pixels up it draws the regular letters, so bold headings
    # would show plain; without it bold is made from the regular Tahoma.
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    for font in /usr/share/wine/fonts/*.ttf; do
        [ "$(basename "$font")" = tahomabd.ttf ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    # A virtual desktop gives the windows frames and a notification area even
    # on a bare X server without a window manager.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 9>&-
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1 9>&-
    # A crashing program prints its backtrace and ends instead of waiting
    # behind an invisible crash dialog (until ctest's time-out in a test).
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 9>&-
    wineserver -w
}

if [ "$mode" = --user ]; then
    mkdir -p "$(dirname "$target")"
    exec 9>"$(dirname "$target")/.wineprefix.lock"
    flock 9
    [ -e "$target" ] && exit 0
    # Made under another name and renamed when complete, so an interrupted
    # first start never leaves a half-made prefix to be taken for the user's.
    making="$target.making"
    rm -rf "$making"
    make_prefix "$making"
    mv -T "$making" "$target"
    echo "Made your Wine prefix $target" >&2
else
    if [ -d "$target" ]; then
        wineserver -k 2>/dev/null || true
        rm -rf "$target"
    fi
    # The fake site's certificates belong to the prefix that trusts them.
    rm -rf "$KORVELINK_BUILD/fakesite"
    make_prefix "$target"
fi

#!/usr/bin/env bash
# Creates the private Wine prefix anew (once per test run) and waits until
# Wine has finished setting it up.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
fi
# The fake site's certificates belong to the prefix that trusts them.
rm -rf "$KORVELINK_BUILD/fakesite"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1
wineserver -w
# Wine links the user's Documents, Desktop, Downloads... to the Unix home
# folder, so every prefix of one user would download into one folder and
# two runs at once would delete each other's files: make them real folders
# of this prefix.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
    fi
done
# Wine's own Tahoma and Marlett (the window font and the caption-button
# glyphs) are only found in the prefix's Fonts folder. Not its Tahoma Bold:
# from 13 pixels up it draws the regular letters, so bold headings would
# show plain; without it bold is made from the regular Tahoma.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
for font in /usr/share/wine/fonts/*.ttf; do
    [ "$(basename "$font")" = tahomabd.ttf ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
# A virtual desktop gives the windows frames and a notification area even
# on a bare X server without a window manager.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
# A crashing test prints its backtrace and ends instead of waiting behind
# an invisible crash dialog until ctest's time-out.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w

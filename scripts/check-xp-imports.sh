#!/usr/bin/env bash
# Fails when an executable could not start on Windows XP: its import table
# names a function XP lacks (listed in xp-refused-imports.txt beside this
# script), or its PE header asks for a subsystem or OS newer than 5.1.
# Usage: check-xp-imports.sh EXE   (OBJDUMP overrides the objdump to use)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
exe="${1:?usage: check-xp-imports.sh EXE}"
objdump="${OBJDUMP:-i686-w64-mingw32-objdump}"
list="$here/xp-refused-imports.txt"

headers="$("$objdump" -p "$exe")" || { echo "FAIL: $objdump cannot read $exe" >&2; exit 1; }

# "DLL name<TAB>function" for every import by name.
imports="$(awk '
    /^The Import Tables/ { inside = 1; next }
    /^The .* Table/ || /^PE File Base Relocations/ { inside = 0 }
    inside && /DLL Name:/ { dll = $3; next }
    inside && dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+/ { print dll "\t" $3 }
' <<<"$headers")"
if [ -z "$imports" ]; then
    echo "FAIL: no import read from $exe" >&2
    exit 1
fi

patterns=()
while IFS= read -r line; do
    line="${line%%#*}"
    line="${line//[[:space:]]/}"
    [ -n "$line" ] && patterns+=("$line")
done <"$list"

refused=0
while IFS=$'\t' read -r dll func; do
    dll_lower="${dll,,}"
    for p in "${patterns[@]}"; do
        if [[ "$p" == *!* ]]; then
            pdll="${p%%!*}" pfunc="${p#*!}"
            # Unquoted right-hand sides: shell pattern matching.
            [[ "$dll_lower" == ${pdll,,} && "$func" == $pfunc ]] || continue
        else
            [[ "$func" == $p ]] || continue
        fi
        echo "refused import: $dll!$func (XP lacks it; entry \"$p\")"
        refused=$((refused + 1))
        break
    done
done <<<"$imports"

version() { awk -v key="$1" '$1 == key { print $2; exit }' <<<"$headers"; }
status=0
for kind in Subsystem OSystem; do
    major="$(version "Major${kind}Version")" minor="$(version "Minor${kind}Version")"
    if [ -z "$major" ] || [ -z "$minor" ]; then
        echo "FAIL: no $kind version in the PE header" >&2
        status=1
    elif [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 1 ]; }; then
        echo "refused header: $kind version $major.$minor (XP is 5.1)"
        status=1
    fi
done

count="$(wc -l <<<"$imports")"
if [ "$refused" -gt 0 ] || [ "$status" -ne 0 ]; then
    echo "FAIL: $(basename "$exe") cannot start on Windows XP ($refused of $count imports refused)"
    exit 1
fi
echo "OK: $(basename "$exe"): $count imports, none refused; subsystem $(version MajorSubsystemVersion).$(version MinorSubsystemVersion), OS $(version MajorOSystemVersion).$(version MinorOSystemVersion)"

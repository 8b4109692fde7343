#!/usr/bin/env bash
# Fails when a C++ source writes the size of a system record as a number:
# a size field set to a literal, a constant named for a record size given
# a literal, or a literal passed where SystemParametersInfo takes the
# record's size. Such a number is the size on one architecture at most;
# framework/record_sizes.h derives each from the headers instead.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
records='NotifyIcon|NOTIFYICON|MenuItemInfo|MENUITEMINFO|NonClientMetrics|NONCLIENTMETRICS'
pattern="(cbSize|[A-Za-z_]*($records)[A-Za-z_]*)[[:space:]]*=[[:space:]]*(0x)?[0-9]+|SystemParametersInfo[AW]?[[:space:]]*\\([^,]+,[[:space:]]*[0-9]+"
hits=$(find framework drive settings menu ui sim tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 -r grep -n -E "$pattern" | grep -v -E '^[^:]+:[0-9]+:[[:space:]]*//')
if [ -n "$hits" ]; then
    echo "Record sizes written as numbers (use framework/record_sizes.h):"
    echo "$hits"
    exit 1
fi
echo "No record size is written as a number."

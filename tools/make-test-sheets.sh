#!/bin/sh
# Makes the spreadsheets in tests/data/sheets from a CSV, as a learner's office program would:
# LibreOffice's own .xlsx and .ods (package libreoffice-calc-nogui; only this tool needs it).
set -eu
out=$(cd "$(dirname "$0")/../tests/data/sheets" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' 'English,Chinese,Unit' 'apple,苹果,1' "\"4' 9\"\" tall\",四英尺九英寸高,1" \
    'pear,"梨""子",2' '100,一百,2.5' >"$work/fruit.csv"
for kind in xlsx ods; do
    soffice --headless --infilter="CSV:44,34,76,1" --convert-to "$kind" --outdir "$work" \
        "$work/fruit.csv" >/dev/null
    cp "$work/fruit.$kind" "$out/"
done

#!/usr/bin/env bash
# The split a user would run with the office suite instead: convert every sheet to CSV
# headless, then split the CSV text into one file per row, column or non-blank cell.
# Usage: soffice_split.sh BOOK OUTPUT_DIR row|column|cell PROFILE_DIR
# The generated workbooks hold no commas or quotes inside cells, so fields split at commas.
set -euo pipefail
book=$1 out=$2 mode=$3 profile=$4
csv="$out.csv"
mkdir -p "$csv"
trap 'rm -rf "$csv"' EXIT
soffice -env:UserInstallation="file://$profile" --headless \
    --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' \
    --outdir "$csv" "$book" >/dev/null 2>&1
for sheet in "$csv"/*.csv; do
    name=$(basename "${sheet%.csv}")
    case $mode in
    row)
        split -l 1 -a 7 -d --additional-suffix=.txt "$sheet" "$out/${name}_" ;;
    column)
        awk -F, -v base="$out/$name" \
            '{ for (i = 1; i <= NF; i++) print $i > (base "_" i ".txt") }' "$sheet" ;;
    cell)
        awk -F, -v base="$out/$name" \
            '{ for (i = 1; i <= NF; i++) if ($i != "") { f = base "_" NR "_" i ".txt"
               printf "%s", $i > f; close(f) } }' "$sheet" ;;
    esac
done

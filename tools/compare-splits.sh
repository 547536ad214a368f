#!/usr/bin/env bash
# Splits every workbook of a folder in each mode with two builds of sheetfray-split and
# compares what they wrote, file by file: a change that should keep the output must show no
# difference. Usage: tools/compare-splits.sh OLD_SPLIT NEW_SPLIT FOLDER [WORK]
set -uo pipefail
old=$1; new=$2; folder=$3
work=${4:-$(mktemp -d /dev/shm/sheetfray-compare.XXXXXX)}
status=0
for book in "$folder"/*; do
    [ -f "$book" ] || continue
    for mode in row column cell; do
        name=$(basename "$book")
        for side in old new; do
            out="$work/$side/$mode/$name"
            mkdir -p "$out"
            split=$old; [ "$side" = new ] && split=$new
            "$split" --each "$mode" --output "$out" "$book" >"$out.stdout" 2>"$out.stderr"
            echo "$?" >"$out.status"
        done
        if ! diff -r "$work/old/$mode/$name" "$work/new/$mode/$name" >/dev/null \
            || ! cmp -s "$work/old/$mode/$name.stderr" "$work/new/$mode/$name.stderr" \
            || ! cmp -s "$work/old/$mode/$name.status" "$work/new/$mode/$name.status"; then
            echo "differs: $mode $name"
            status=1
        fi
    done
done
echo "compared $(find "$work/old" -type f | wc -l) files and messages under $work"
exit $status

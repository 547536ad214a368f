#!/usr/bin/env bash
# The per-file cost of each kind of output file against text files: sheetfray-split --each row
# on a generated 100,000-row by 10-column workbook, on /dev/shm (the disk is too noisy), best
# of three rounds per kind. "write" subtracts a --dry-run of the same split (reading, naming,
# no files), which leaves what writing the files costs.
# Usage: bench/split/kinds.sh [BUILD_DIR] [ROWS]   (BUILD_DIR defaults to build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
rows=${2:-100000}
if [ ! -x "$build/cli/sheetfray-split" ]; then
    cmake --preset release -DSHEETFRAY_BENCH=ON -DSHEETFRAY_TESTS=ON >/dev/null
    cmake --build "$build" -j2 --target sheetfray-split sheetfray-bench-workbook
fi
work=$(mktemp -d /dev/shm/sheetfray-kinds.XXXXXX)
trap 'rm -rf "$work"' EXIT
book="$work/book.xlsx"
"$build/bench/split/sheetfray-bench-workbook" "$book" "$rows" 10
split=("$build/cli/sheetfray-split" --each row --quiet)

now() { date +%s.%N; }
best() { # best of three runs of the command, in seconds; each in a fresh folder
    local best=999999 t0 t1 round
    for round in 1 2 3; do
        rm -rf "$work/out"
        mkdir "$work/out"
        t0=$(now)
        "$@" >/dev/null
        t1=$(now)
        best=$(echo "t = $t1 - $t0; if (t < $best) t else $best" | bc -l)
    done
    echo "$best"
}

dry=$(best "${split[@]}" --dry-run --output "$work/out" "$book")
printf 'rows %d; dry run (read and name only) %.3f s\n' "$rows" "$dry"
printf '%-12s %8s %10s %12s %10s %10s\n' kind seconds "us/file" "write us/f" ratio "write ratio"
text=0; text_write=0
for kind in text spreadsheet tab-text xlsx; do
    t=$(best "${split[@]}" --kind "$kind" --output "$work/out" "$book")
    files=$(ls "$work/out" | wc -l)
    per=$(echo "$t * 1000000 / $files" | bc -l)
    write=$(echo "($t - $dry) * 1000000 / $files" | bc -l)
    if [ "$kind" = text ]; then text=$per; text_write=$write; fi
    printf '%-12s %8.3f %10.1f %12.1f %10.2f %10.2f\n' "$kind" "$t" "$per" "$write" \
        "$(echo "$per / $text" | bc -l)" "$(echo "$write / $text_write" | bc -l)"
done

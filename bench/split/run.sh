#!/usr/bin/env bash
# Times sheetfray-split --each row on a generated 100,000-row by 10-column workbook against
# the floor measured in the same run: inflating the sheet XML plus writing the same files.
# Usage: bench/split/run.sh [BUILD_DIR] [ROWS]   (BUILD_DIR defaults to build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
rows=${2:-100000}
if [ ! -x "$build/cli/sheetfray-split" ]; then
    cmake --preset release -DSHEETFRAY_BENCH=ON -DSHEETFRAY_TESTS=ON >/dev/null
    cmake --build "$build" -j2 --target sheetfray-split sheetfray-bench-workbook sheetfray-bench-floor
fi
work=$(mktemp -d /tmp/sheetfray-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
book="$work/book.xlsx"
"$build/bench/split/sheetfray-bench-workbook" "$book" "$rows" 10

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

# A first run gives the files the floor writes again, and warms the caches.
mkdir "$work/warm"
"$build/cli/sheetfray-split" --each row --output "$work/warm" "$book"
"$build/bench/split/sheetfray-bench-floor" pack "$work/warm" "$work/manifest"
files=$(ls "$work/warm" | wc -l)

best_split=999999; best_floor=999999
for round in 1 2 3; do
    # Fresh, empty folders each time: creating files where many were just deleted is slower.
    mkdir "$work/split$round" "$work/floor$round"
    t0=$(now)
    "$build/cli/sheetfray-split" --each row --output "$work/split$round" "$book"
    t1=$(now)
    "$build/bench/split/sheetfray-bench-floor" inflate "$book" >/dev/null
    "$build/bench/split/sheetfray-bench-floor" write "$work/manifest" "$work/floor$round"
    t2=$(now)
    split=$(elapsed "$t0" "$t1"); floor=$(elapsed "$t1" "$t2")
    best_split=$(echo "if ($split < $best_split) $split else $best_split" | bc -l)
    best_floor=$(echo "if ($floor < $best_floor) $floor else $best_floor" | bc -l)
done
diff -r "$work/split1" "$work/floor1" >/dev/null || { echo "floor wrote different files" >&2; exit 1; }
printf 'rows %d, files %d\n' "$rows" "$files"
printf 'sheetfray-split --each row  %.3f s\n' "$best_split"
printf 'floor (inflate + write)     %.3f s\n' "$best_floor"
printf 'ratio                       %.2f\n' "$(echo "$best_split / $best_floor" | bc -l)"

#!/usr/bin/env bash
# Splits the same generated workbook (100,000 rows by 10 columns, one file per row) through
# the window on the offscreen platform and through sheetfray-split, alternating, into fresh
# folders; prints the best time of each and their ratio (the window's overhead). The window's
# time is that of "Start Saving" alone, sheetfray-split's that of the whole process.
# Usage: bench/window/run.sh [BUILD_DIR] [ROWS]   (BUILD_DIR defaults to build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
rows=${2:-100000}
if [ ! -x "$build/bench/window/sheetfray-bench-window" ] || [ ! -x "$build/cli/sheetfray-split" ]; then
    cmake --preset release -DSHEETFRAY_BENCH=ON -DSHEETFRAY_TESTS=ON >/dev/null
    cmake --build "$build" -j2 --target sheetfray-split sheetfray-bench-workbook sheetfray-bench-window
fi
work=$(mktemp -d /tmp/sheetfray-bench-window.XXXXXX)
trap 'rm -rf "$work"' EXIT
book="$work/book.xlsx"
"$build/bench/split/sheetfray-bench-workbook" "$book" "$rows" 10

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

# A first run warms the caches.
mkdir "$work/warm"
"$build/cli/sheetfray-split" --each row --output "$work/warm" "$book"

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
run_split() {
    local t0 t1
    t0=$(now)
    "$build/cli/sheetfray-split" --each row --output "$work/split$1" "$book"
    t1=$(now)
    split=$(elapsed "$t0" "$t1")
}
run_window() {
    window=$("$build/bench/window/sheetfray-bench-window" "$book" "$work/window$1")
}
best_split=999999; best_window=999999
for round in 1 2 3 4; do
    # Fresh, empty folders each time: creating files where many were just deleted is slower.
    # The order alternates, so neither program always meets the other's leftovers.
    mkdir "$work/split$round" "$work/window$round"
    if [ $((round % 2)) -eq 1 ]; then
        run_split "$round"; run_window "$round"
    else
        run_window "$round"; run_split "$round"
    fi
    best_split=$(echo "if ($split < $best_split) $split else $best_split" | bc -l)
    best_window=$(echo "if ($window < $best_window) $window else $best_window" | bc -l)
done
diff -r "$work/split1" "$work/window1" >/dev/null || { echo "the window wrote different files" >&2; exit 1; }
printf 'rows %d, files %d\n' "$rows" "$(ls "$work/window1" | wc -l)"
printf 'sheetfray-split --each row     %.3f s\n' "$best_split"
printf 'window, Start Saving (offscreen) %.3f s\n' "$best_window"
printf 'ratio window / sheetfray-split   %.3f\n' "$(echo "$best_window / $best_split" | bc -l)"

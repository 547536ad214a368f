#!/usr/bin/env bash
# The cost of each kind of output file against text files, in one run: sheetfray-split --each
# row on a generated 100,000-row by 10-column workbook, on /dev/shm (the disk is too noisy),
# best of three rounds each, every round into a fresh folder. "write" subtracts a --dry-run of
# the same split (reading, naming, no files), which leaves what writing the files costs. The
# last line is --zip: the same files into one archive, against text into a folder.
# Usage: bench/split/kinds.sh [BUILD_DIR] [ROWS]   (BUILD_DIR defaults to build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
rows=${2:-100000}
if [ ! -x "$build/cli/sheetfray-split" ]; then
    cmake --preset release -DSHEETFRAY_BENCH=ON -DSHEETFRAY_TESTS=ON >/dev/null
    cmake --build "$build" -j2 --target sheetfray-split sheetfray-bench-workbook
fi
base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work=$(mktemp -d "$base/sheetfray-kinds.XXXXXX")
trap 'rm -rf "$work"' EXIT
split=$(realpath "$build/cli/sheetfray-split")
"$build/bench/split/sheetfray-bench-workbook" "$work/book.xlsx" "$rows" 10
cd "$work"

# Best wall time of three runs and the largest peak RSS (kB), as "SECONDS KB".
measure() {
    local best=999999 rss=0 seconds kilobytes round
    for round in 1 2 3; do
        rm -rf out out.zip && mkdir out
        /usr/bin/time -f '%e %M' -o time.txt "$split" --each row --quiet "$@" book.xlsx >/dev/null
        read -r seconds kilobytes < time.txt
        best=$(echo "if ($seconds < $best) $seconds else $best" | bc -l)
        [ "$kilobytes" -gt "$rss" ] && rss=$kilobytes
    done
    echo "$best $rss"
}

mkdir -p out && "$split" --quiet -o out book.xlsx # warms the caches
read -r dry _ < <(measure --dry-run -o out)
printf 'rows %d; dry run (read and name only) %.3f s\n' "$rows" "$dry"
printf '%-12s %8s %10s %12s %8s %12s %9s\n' kind seconds "us/file" "write us/f" ratio "write ratio" "peak MB"
files=0; text=0; text_write=0; text_seconds=0
for kind in text spreadsheet tab-text xlsx json; do
    read -r t rss < <(measure --kind "$kind" -o out)
    files=$(ls out | wc -l)
    per=$(echo "$t * 1000000 / $files" | bc -l)
    write=$(echo "($t - $dry) * 1000000 / $files" | bc -l)
    if [ "$kind" = text ]; then text=$per; text_write=$write; text_seconds=$t; fi
    printf '%-12s %8.3f %10.1f %12.1f %8.2f %12.2f %9.1f\n' "$kind" "$t" "$per" "$write" \
        "$(echo "$per / $text" | bc -l)" "$(echo "$write / $text_write" | bc -l)" \
        "$(echo "$rss / 1024" | bc -l)"
done
read -r t rss < <(measure --zip out.zip)
printf '%-12s %8.3f %10s %12s %8.2f %12s %9.1f   (time against text into a folder)\n' \
    "--zip" "$t" - - "$(echo "$t / $text_seconds" | bc -l)" - "$(echo "$rss / 1024" | bc -l)"

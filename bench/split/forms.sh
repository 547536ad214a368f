#!/usr/bin/env bash
# Times the forms of output against plain text on a generated 100,000-row by 10-column
# workbook, on a memory file system so that the file system's own cost does not hide ours:
# --kind json per file against --kind text, and --zip against text into a folder, with the
# peak memory of each run.
# Usage: bench/split/forms.sh [BUILD_DIR] [ROWS]   (BUILD_DIR defaults to build/release)
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
work=$(mktemp -d "$base/sheetfray-forms.XXXXXX")
trap 'rm -rf "$work"' EXIT
split=$(realpath "$build/cli/sheetfray-split")
"$build/bench/split/sheetfray-bench-workbook" "$work/book.xlsx" "$rows" 10
cd "$work"

# Best wall time of three runs (and best processor time), and the largest peak RSS, of one form; each run into a fresh
# folder (creating files where many were just deleted is slower) or a fresh archive.
measure() {
    local name=$1; shift
    local best=999999 cpu=999999 rss=0
    for round in 1 2 3; do
        rm -rf out out.zip && mkdir out
        /usr/bin/time -f '%e %U %S %M' -o time.txt "$split" "$@" book.xlsx
        read -r seconds user system kilobytes < time.txt
        best=$(echo "if ($seconds < $best) $seconds else $best" | bc -l)
        cpu=$(echo "c = $user + $system; if (c < $cpu) c else $cpu" | bc -l)
        [ "$kilobytes" -gt "$rss" ] && rss=$kilobytes
    done
    printf '%-28s %6.2f s  (cpu %5.2f s)  peak %6.1f MB\n' "$name" "$best" "$cpu" \
        "$(echo "$rss / 1024" | bc -l)" >&2
    echo "$best"
}

mkdir out && "$split" -o out book.xlsx # warms the caches
text=$(measure "text into a folder" -o out)
json=$(measure "json into a folder" -k json -o out)
zip=$(measure "text into --zip" --zip out.zip)
printf 'json / text                  %.2f  (target at most 1.3)\n' "$(echo "$json / $text" | bc -l)"
printf 'zip / text                   %.2f  (target at most 0.4)\n' "$(echo "$zip / $text" | bc -l)"

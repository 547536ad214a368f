#!/usr/bin/env bash
# Makes a tree of 10,000 folders holding 100,000 workbooks, then fills the list with "Add All
# Excel Files In Folder" through the window (offscreen) and walks the tree with find, both on
# warm caches; prints the best time of each, their ratio and the longest time the window went
# without handling its events.
# Usage: bench/filelist/run.sh [BUILD_DIR] [FOLDERS] [FILES_PER_FOLDER]
#        (BUILD_DIR defaults to build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
folders=${2:-10000}
files=${3:-10}
bench="$build/bench/filelist/sheetfray-bench-filelist"
if [ ! -x "$bench" ]; then
    cmake --preset release -DSHEETFRAY_BENCH=ON >/dev/null
    cmake --build "$build" -j2 --target sheetfray-bench-filelist
fi
work=$(mktemp -d /tmp/sheetfray-bench-filelist.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$bench" --make "$work/tree" "$folders" "$files"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$bench" "$work/tree" 5

#!/usr/bin/env bash
# Installs the build dependencies, builds Sheetfray with its sample workbooks and starts the
# window. Without a display it splits the samples with the command-line front end instead
# and says where the files went.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset release >/dev/null
# The samples and art targets write the sample workbooks, pointers and skin beside the program.
cmake --build --preset release -j"$(nproc)" \
    --target sheetfray sheetfray-split sheetfray_samples sheetfray_art_files
bin=build/release
samples="$bin/Samples"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/sheetfray"
fi
out="${SHEETFRAY_OUT:-$PWD/out/samples}"
mkdir -p "$out"
status=0
"$bin/cli/sheetfray-split" --each row --separator comma --output "$out" "$samples"/* || status=$?
echo "No display: split $(ls "$samples" | wc -l) sample workbooks from $samples" \
     "into $(ls "$out" | wc -l) files in $out"
exit $status

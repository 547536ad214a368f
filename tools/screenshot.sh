#!/usr/bin/env bash
# Starts sheetfray under Xvfb with a fresh settings store and saves a picture of its window.
# Usage: tools/screenshot.sh [OUTPUT_PNG] [BUILD_DIR]   (defaults: docs/screenshot.png,
# build/release). Needs xvfb, xauth, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
build=${2:-build/release}
if [ ! -x "$build/sheetfray" ]; then
    cmake --preset release >/dev/null
    cmake --build "$build" -j2 --target sheetfray sheetfray_art_files
fi
work=$(mktemp -d /tmp/sheetfray-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT
# A settings store of its own: the window shows the first start's choices, with an output
# folder that reads as a user's desktop.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME/Vornhall" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[Sheetfray]\nOutput%%20Folder=/home/user/Desktop/\n' >"$XDG_CONFIG_HOME/Vornhall/Sheetfray.ini"
mkdir -p "$(dirname "$out")"
export ASAN_OPTIONS=detect_leaks=0
xvfb-run -a -s "-screen 0 1280x720x24" bash -c '
    "$1" &
    program=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Sheetfray$" | head -n 1)
    sleep 1
    import -window "$window" "$2"
    kill "$program"
    wait "$program" || true
' screenshot "$PWD/$build/sheetfray" "$out"
echo "saved $out"

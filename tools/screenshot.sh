#!/usr/bin/env bash
# Starts sheetfray under Xvfb with a fresh settings store and saves a picture.
# Usage: tools/screenshot.sh [OUTPUT_PNG] [BUILD_DIR] [SCENE]
#   (defaults: docs/screenshot.png, build/release, window). Scenes:
#   window    the window at its first start
#   progress  a run part-way through a 100,000-row workbook
#   failures  the end of a run in which a workbook could not be read
#   german    the window under LANG=de_DE.UTF-8
#   dejavu    the window with DejaVu fonts alone (no Liberation Sans)
#   small     the whole screen, 1024x768
#   scale2    the whole screen, 1280x800 at QT_SCALE_FACTOR=2
# Needs xvfb, xauth, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
build=${2:-build/release}
scene=${3:-window}
if [ ! -x "$build/sheetfray" ] || [ ! -x "$build/bench/split/sheetfray-bench-workbook" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake --preset release >/dev/null
    cmake --build "$build" -j2 --target sheetfray sheetfray_art_files sheetfray-bench-workbook
fi
work=$(mktemp -d /tmp/sheetfray-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT
# A settings store of its own: the window shows the first start's choices, with an output
# folder that reads as a user's desktop.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME/Vornhall" "$XDG_RUNTIME_DIR" "$work/Desktop"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[Sheetfray]\nOutput%%20Folder=%s/Desktop/\n' "$work" >"$XDG_CONFIG_HOME/Vornhall/Sheetfray.ini"
mkdir -p "$(dirname "$out")"
export ASAN_OPTIONS=detect_leaks=0
screen=1280x720 whole=no args=()
case $scene in
window) printf '[Sheetfray]\nOutput%%20Folder=/home/user/Desktop/\n' >"$XDG_CONFIG_HOME/Vornhall/Sheetfray.ini" ;;
progress)
    "$build/bench/split/sheetfray-bench-workbook" "$work/big.xlsx" 100000 10
    args=("$work/big.xlsx") ;;
failures)
    "$build/bench/split/sheetfray-bench-workbook" "$work/Report.xlsx" 40 5
    printf 'PK\003\004 not a workbook' >"$work/damaged.xlsx"
    args=("$work/Report.xlsx" "$work/damaged.xlsx") ;;
german) export LANG=de_DE.UTF-8 LC_ALL= ;;
dejavu)
    mkdir -p "$work/fonts"
    printf '<?xml version="1.0"?>\n<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>%s/fonts/cache</cachedir><include ignore_missing="yes">/etc/fonts/conf.d</include></fontconfig>\n' "$work" >"$work/fonts/fonts.conf"
    export FONTCONFIG_FILE="$work/fonts/fonts.conf" ;;
small) screen=1024x768 whole=yes ;;
scale2) screen=1280x800 whole=yes; export QT_SCALE_FACTOR=2 ;;
*) echo "unknown scene $scene" >&2; exit 2 ;;
esac
export SCENE=$scene WHOLE=$whole
xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
    program=$1 out=$2; shift 2
    "$program" "$@" &
    pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Sheetfray$" | head -n 1)
    sleep 1
    # "Start Saving", in the window'"'"'s own pixels.
    start() { xdotool mousemove --window "$window" 796 455 click 1; }
    case $SCENE in
    progress) start; sleep 1.5 ;;
    failures)
        start
        # The error box, then the end of the run.
        box=$(timeout 20 xdotool search --sync --onlyvisible --name "^(Application Error|Anwendungsfehler)$" | head -n 1)
        sleep 0.5
        # Without a window manager the box takes no keyboard focus: its OK button is clicked.
        eval "$(xdotool getwindowgeometry --shell "$box")"
        xdotool mousemove --window "$box" $((WIDTH - 50)) $((HEIGHT - 22))
        sleep 0.3
        xdotool click 1
        sleep 1.5 ;;
    esac
    if [ "$WHOLE" = yes ] || [ "$SCENE" = failures ]; then
        import -window root "$out"
    else
        import -window "$window" "$out"
    fi
    kill "$pid"
    wait "$pid" || true
' screenshot "$PWD/$build/sheetfray" "$out" "${args[@]}"
echo "saved $out"

#!/usr/bin/env bash
# Builds the Debian package from the build folder's install rules, unpacks it into a scratch
# root (no root rights needed) and runs what it installed from there: the command line's
# version and a split of an installed sample, and the window's first start, which must find
# its program folder through the bin/sheetfray link.
# Usage: check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d /tmp/sheetfray-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/cpack") >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack could not build the package"; }
deb=$(ls "$work"/cpack/sheetfray_*.deb)
dpkg-deb -f "$deb" Package Version Depends Recommends | tee "$work/control"
grep -qx "Version: $version" "$work/control" || fail "wrong version"
for library in libc6 libqt6widgets6 libzip4 fonts-liberation; do
    grep -q "$library" "$work/control" || fail "Depends does not name $library"
done
grep -q "^Recommends: .*qt6-translations-l10n" "$work/control" \
    || fail "Recommends does not name qt6-translations-l10n"
# Nothing but the program, its files and its documents.
if dpkg-deb -c "$deb" | grep -E 'test|bench|samples|sheetfray-(art|dump|compare)'; then
    fail "the package holds development programs"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
program=$root/usr/lib/sheetfray
for file in sheetfray HAND-M.CUR drag.ico x/o.cjs Samples/Customers.xlsx Samples/Sales.xlsx \
    Samples/Inventory.ods Samples/Timesheet.xls; do
    [ -f "$program/$file" ] || fail "the program folder lacks $file"
done
[ "$(readlink -f "$root/usr/bin/sheetfray")" = "$program/sheetfray" ] \
    || fail "bin/sheetfray does not lead to the program folder"
for file in share/applications/sheetfray.desktop share/icons/hicolor/48x48/apps/sheetfray.png \
    share/man/man1/sheetfray.1.gz share/man/man1/sheetfray-split.1.gz \
    share/bash-completion/completions/sheetfray-split share/zsh/vendor-completions/_sheetfray-split \
    share/doc/sheetfray/copyright; do
    [ -f "$root/usr/$file" ] || fail "the package lacks usr/$file"
done

split=$root/usr/bin/sheetfray-split
[ "$("$split" --version)" = "sheetfray-split $version" ] || fail "wrong --version"
mkdir "$work/out"
"$split" --each row --separator comma --output "$work/out" "$program/Samples/Customers.xlsx"
[ "$(ls "$work/out" | wc -l)" -eq 6 ] || fail "the split wrote $(ls "$work/out" | wc -l) files, not 6"
[ "$(cat "$work/out/Customers_1.txt")" = "Customer,City,Phone,Orders," ] \
    || fail "Customers_1.txt holds \"$(cat "$work/out/Customers_1.txt")\""

# The manual page describes every option --help shows, and no other.
options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
help_options=$("$split" --help | options)
page_options=$(gzip -dc "$root/usr/share/man/man1/sheetfray-split.1.gz" | sed 's/\\-/-/g' | options)
[ "$help_options" = "$page_options" ] \
    || fail "--help and the manual page differ: $(diff <(echo "$help_options") <(echo "$page_options") | tr '\n' ' ')"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/sheetfray.desktop"
fi

# The window's first start records the samples it finds beside itself; it runs until killed.
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
status=0
(cd / && env XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
    timeout 5 "$root/usr/bin/sheetfray") || status=$?
[ "$status" -eq 124 ] || fail "the window ended with status $status"
grep -q '^Snapshot=.' "$work/config/Vornhall/Sheetfray.ini" \
    || fail "the window did not find the installed samples"
echo "package checked: $deb"

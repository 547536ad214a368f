#!/usr/bin/env bash
# Builds the two Debian packages from the build folder's install rules, checks what each
# depends on and holds, unpacks both into a scratch root (no root rights needed) and runs what
# they installed from there: the command line's version and a split of an installed sample,
# and the window's first start, which must find its program folder through the bin/sheetfray
# link. Where desktop-file-validate, appstreamcli and lintian are installed, they check the
# menu entry, the AppStream entry and the packages.
# Usage: check-package.sh BUILD_DIR VERSION [HARDENED]   (HARDENED 1: lintian's hardening notes
# fail too, as for the release and ci presets' builds)
set -euo pipefail
build=$1
version=$2
hardened=${3:-1}
work=$(mktemp -d /tmp/sheetfray-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/cpack") >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack could not build the packages"; }
split_deb=$(ls "$work"/cpack/sheetfray-split_*.deb)
window_deb=$(ls "$work"/cpack/sheetfray_*.deb)
[ "$(ls "$work"/cpack/*.deb | wc -l)" -eq 2 ] || fail "cpack made $(ls "$work"/cpack/*.deb)"

# What each package asks for: the command line needs no Qt, the window its own command line
# at the same version.
control() {
    dpkg-deb -f "$1" Package Version Depends Recommends | tee "$work/control"
    grep -qx "Version: $version" "$work/control" || fail "$1: wrong version"
}
control "$split_deb"
for library in libc6 libstdc++6 libzip4 libexpat1; do
    grep -q "^Depends: .*$library" "$work/control" || fail "sheetfray-split does not depend on $library"
done
if grep -qi 'qt\|fonts' "$work/control"; then
    fail "sheetfray-split depends on the window's libraries"
fi
control "$window_deb"
for library in "sheetfray-split (= $version)" libqt6widgets6 libzip4 fonts-liberation; do
    grep -qF "$library" "$work/control" || fail "sheetfray does not depend on $library"
done
grep -q "^Recommends: .*qt6-translations-l10n" "$work/control" \
    || fail "Recommends does not name qt6-translations-l10n"

# Nothing but the programs, their files and their documents, and no file in both packages
# (dpkg would refuse to install the second).
files() { dpkg-deb -c "$1" | grep -v '^d' | awk '{print $6}' | sort; }
if files "$split_deb" | grep -E 'lib/sheetfray|share/(applications|icons|metainfo)|man1/sheetfray\.1'; then
    fail "sheetfray-split holds the window's files"
fi
shared=$(comm -12 <(files "$split_deb") <(files "$window_deb"))
[ -z "$shared" ] || fail "both packages hold $shared"
if cat <(files "$split_deb") <(files "$window_deb") | grep -E 'test|bench|samples|sheetfray-(art|dump|compare)'; then
    fail "the packages hold development programs"
fi

root=$work/root
dpkg-deb -x "$split_deb" "$root"
dpkg-deb -x "$window_deb" "$root"
program=$root/usr/lib/sheetfray
for file in sheetfray HAND-M.CUR drag.ico x/o.cjs Samples/Customers.xlsx Samples/Sales.xlsx \
    Samples/Inventory.ods Samples/Timesheet.xls; do
    [ -f "$program/$file" ] || fail "the program folder lacks $file"
done
[ "$(readlink -f "$root/usr/bin/sheetfray")" = "$program/sheetfray" ] \
    || fail "bin/sheetfray does not lead to the program folder"
app_id=io.github.sheetfray.Sheetfray
for file in share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
    share/icons/hicolor/48x48/apps/sheetfray.png \
    share/man/man1/sheetfray.1.gz share/man/man1/sheetfray-split.1.gz \
    share/bash-completion/completions/sheetfray-split share/zsh/vendor-completions/_sheetfray-split \
    share/doc/sheetfray/copyright share/doc/sheetfray-split/copyright \
    share/doc/sheetfray/changelog.gz share/doc/sheetfray-split/changelog.gz; do
    [ -f "$root/usr/$file" ] || fail "the packages lack usr/$file"
done
if objdump -p "$root/usr/bin/sheetfray-split" | grep 'NEEDED.*Qt'; then
    fail "sheetfray-split links Qt"
fi

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
undocumented=$(comm -23 <(echo "$help_options") <(echo "$page_options"))
[ -z "$undocumented" ] || fail "the manual page lacks $(echo $undocumented)"
unknown=$(comm -13 <(echo "$help_options") <(echo "$page_options"))
[ -z "$unknown" ] || fail "the manual page describes options --help lacks: $(echo $unknown)"

# The menu entry, the AppStream entry and the packages as Debian's tools see them.
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/$app_id.desktop" \
        || fail "desktop-file-validate refused the menu entry"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --pedantic --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" \
        || fail "appstreamcli refused the AppStream entry"
    grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" \
        || fail "the AppStream entry lacks the release $version"
fi
if command -v lintian >/dev/null; then
    # Errors, warnings and (in a hardened build) hardening notes fail; the rest is listed.
    lintian --pedantic --display-info --tag-display-limit 0 "$split_deb" "$window_deb" \
        >"$work/lintian.log" 2>&1 || true
    cat "$work/lintian.log"
    faults="^[EW]: "
    [ "$hardened" = 0 ] || faults="$faults|^[A-Z]: .*hardening-"
    if grep -E "$faults" "$work/lintian.log"; then
        fail "lintian found the faults above"
    fi
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
echo "packages checked: $split_deb $window_deb"

#!/usr/bin/env bash
# Installs the build dependencies, makes a release build with Debian's hardening flags and
# writes the two Debian packages into build/release/packages: sheetfray-split (the command
# line alone, no Qt) and sheetfray (the window, which needs the first).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset release >/dev/null
# The samples and art targets write the sample workbooks, pointers, skin and icons; the
# compressed manual pages and changelog are made with the packaging rules.
cmake --build --preset release -j"$(nproc)" \
    --target sheetfray sheetfray-split sheetfray_samples sheetfray_art_files \
    sheetfray_compressed_docs
rm -rf build/release/packages
(cd build/release && cpack -G DEB -B "$PWD/packages") >/dev/null
rm -rf build/release/packages/_CPack_Packages
ls build/release/packages/*.deb

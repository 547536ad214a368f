#!/usr/bin/env bash
# Installs everything Sheetfray needs to build and test on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    cmake g++ make pkg-config ca-certificates
    libzip-dev libexpat1-dev nettle-dev zlib1g-dev
    python3   # the command tests read CSV and zip archives back with its own modules
    libgtest-dev libbenchmark-dev nlohmann-json3-dev
    qt6-base-dev fonts-liberation xvfb xauth
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n   # translations: lupdate/lrelease, Qt's own
    fonts-dejavu-core   # the window tests also measure captions in DejaVu Sans alone
    clang-14 libclang-rt-14-dev clang-format git
    dpkg-dev file   # cpack finds the Debian package's library dependencies with these
    lintian appstream desktop-file-utils   # the package test checks the packages with these
    locales   # the displayed texts are also tested under de_DE.UTF-8
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The German locale the displayed-text tests run under (skipped where it is missing).
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

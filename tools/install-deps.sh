#!/usr/bin/env bash
# Installs everything Sheetfray needs to build and test on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    cmake g++ make pkg-config ca-certificates
    libzip-dev libexpat1-dev zlib1g-dev
    libgtest-dev libbenchmark-dev nlohmann-json3-dev
    qt6-base-dev fonts-liberation xvfb xauth
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n   # translations: lupdate/lrelease, Qt's own
    fonts-dejavu-core   # the window tests also measure captions in DejaVu Sans alone
    clang-14 libclang-rt-14-dev clang-format git
    dpkg-dev file   # cpack finds the Debian package's library dependencies with these
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

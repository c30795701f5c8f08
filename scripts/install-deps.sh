#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, when they are missing: to
# build and test it (libpq for serial ranges in a database, and the PostgreSQL
# 15 server the database tests start in a temporary folder), and to make and
# check its Debian package (scripts/package-check.sh). With --fuzz, also clang and its libFuzzer and
# sanitizer runtimes, which only scripts/fuzz.sh needs.
set -euo pipefail

packages=(
    cmake make g++ pkg-config clang-tidy clang-format
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev libcli11-dev
    qt6-qpa-plugins fonts-dejavu-core
    libpq-dev postgresql-15
    xvfb xauth
    dpkg-dev file lintian desktop-file-utils appstream man-db
)
fuzz_packages=(clang libclang-rt-14-dev)
if [ "${1:-}" = --fuzz ]; then
    packages+=("${fuzz_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

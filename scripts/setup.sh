#!/usr/bin/env bash
# Installs the packages QOR's build, tests and demo need (Debian 12), when any is missing: the
# Linux build, and the Windows build (mingw-w64 compilers, GoogleTest's sources, Wine). 32-bit
# Wine is tried in a separate, optional step (scripts/setup-wine32.sh).
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config binutils libxml2-dev libicu-dev
          libgtest-dev libgmock-dev libbenchmark-dev libx11-6 xvfb
          clang libclang-rt-14-dev python3
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null

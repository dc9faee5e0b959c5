#!/usr/bin/env bash
# Installs the packages QOR's build, tests and demo need (Debian 12), when any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config binutils libxml2-dev libicu-dev
          libgtest-dev libgmock-dev libbenchmark-dev libx11-6 xvfb
          clang libclang-rt-14-dev python3)

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
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"

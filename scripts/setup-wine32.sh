#!/usr/bin/env bash
# Optional: installs 32-bit Wine (wine32:i386) so that the x86 suite runs too. Its package index
# is sometimes out of step with the mirror; then the i386 architecture is removed again, so that
# no later apt-get update fails, and the x86 run is reported as skipped. Never fails the caller.
set -uo pipefail

if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
added=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 && added=yes
fi
if $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
        $sudo apt-get install -y -qq wine32:i386 >/dev/null; then
    echo "wine32: installed"
    exit 0
fi
echo "wine32: not installable here; the x86 suite will be reported as skipped"
if [ "$added" = yes ]; then
    $sudo dpkg --remove-architecture i386 || true
    $sudo apt-get update -qq || true
fi
exit 0

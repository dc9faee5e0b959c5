#!/usr/bin/env bash
# Sets up, builds and runs every test: the plain build, an applet built out of tree against the
# installed SDK, the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, then
# the Windows build (x64 and x86, cross-compiled) with the x64 suite and the demo under Wine.
# Each stage prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/setup-wine32.sh
for preset in default asan-ubsan windows-x64 windows-x86; do
    echo "== $preset"
    start=$SECONDS
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j "$(nproc)"
    case "$preset" in
        default) scripts/sdk-check.sh ;;
        windows-x64)
            WINEDEBUG=-all WINEPREFIX="$PWD/build/windows-x64/wineprefix" \
                wine build/windows-x64/bin/qor-host.exe run --quiet
            scripts/sdk-check-windows.sh ;;
        windows-x86)  # one line saying why, when the suite could not run
            ctest --preset "$preset" -V -R qor_tests_under_wine | grep -o "skipped: [^\"]*$" || true ;;
    esac
    echo "== $preset: $((SECONDS - start)) s"
done

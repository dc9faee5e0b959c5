#!/usr/bin/env bash
# Installs the SDK from the windows-x64 build into a scratch prefix, then cross-builds the
# out-of-tree applet against it with the toolchain file the SDK installs (qor_add_applet gives a
# DLL written with the applet helpers) and plays its scenarios, registered with
# qor_add_scenario_test, under Wine; builds the installed sample sources and plays the demo with
# them.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=build/sdk-windows
consumer=build/sdk-consumer-windows
samples=build/sdk-samples-windows
rm -rf "$prefix" "$consumer" "$samples"
cmake --install build/windows-x64 --prefix "$prefix" >/dev/null
toolchain="$PWD/$prefix/lib/cmake/qor/toolchains/mingw-w64-x86_64.cmake"
cmake -S examples/sdk-consumer -B "$consumer" -G Ninja --toolchain "$toolchain" \
    -DCMAKE_PREFIX_PATH="$PWD/$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$consumer"
export WINEDEBUG=-all WINEPREFIX="$PWD/build/windows-x64/wineprefix"
ctest --test-dir "$consumer" --output-on-failure

cmake -S "$prefix/share/qor/examples/applets" -B "$samples" -G Ninja --toolchain "$toolchain" \
    -DCMAKE_PREFIX_PATH="$PWD/$prefix" >/dev/null
cmake --build "$samples" >/dev/null
wine "$prefix/bin/qor-host.exe" run --quiet --applets "$samples"
echo "Windows SDK check passed"

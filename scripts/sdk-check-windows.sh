#!/usr/bin/env bash
# Installs the SDK from the windows-x64 build into a scratch prefix, then cross-builds the
# out-of-tree applet against it (qor_add_applet gives a DLL) and plays its scenario under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=build/sdk-windows
consumer=build/sdk-consumer-windows
rm -rf "$prefix" "$consumer"
cmake --install build/windows-x64 --prefix "$prefix" >/dev/null
cmake -S examples/sdk-consumer -B "$consumer" -G Ninja \
    --toolchain "$PWD/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DCMAKE_PREFIX_PATH="$PWD/$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$consumer"
WINEDEBUG=-all WINEPREFIX="$PWD/build/windows-x64/wineprefix" \
    ctest --test-dir "$consumer" --output-on-failure
echo "Windows SDK check passed"

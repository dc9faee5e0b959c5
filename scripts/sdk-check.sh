#!/usr/bin/env bash
# Installs the SDK from the default build into a scratch prefix, then builds and runs an applet
# and the minimal host out of tree against it: with the CMake package, and with pkg-config.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=build/sdk
consumer=build/sdk-consumer
rm -rf "$prefix" "$consumer"
cmake --install build/default --prefix "$prefix" >/dev/null
cmake -S examples/sdk-consumer -B "$consumer" -G Ninja -DCMAKE_PREFIX_PATH="$PWD/$prefix" >/dev/null
cmake --build "$consumer"
ctest --test-dir "$consumer" --output-on-failure

PKG_CONFIG_PATH="$PWD/$prefix/lib/pkgconfig" \
    cc -std=c11 -Wall -Werror -shared -fPIC -o "$consumer/echo-pkgconfig.so" \
    examples/sdk-consumer/echo.c $(PKG_CONFIG_PATH="$PWD/$prefix/lib/pkgconfig" pkg-config --cflags qor)
PKG_CONFIG_PATH="$PWD/$prefix/lib/pkgconfig" \
    cc -std=c11 -Wall -Wpedantic -Werror -o "$consumer/minimal_host-pkgconfig" \
    examples/host/minimal_host.c $(PKG_CONFIG_PATH="$PWD/$prefix/lib/pkgconfig" \
        pkg-config --cflags --libs qor-host-support) -ldl
"$prefix/bin/qor-host" run --quiet
echo "SDK check passed"

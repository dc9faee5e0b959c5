#!/usr/bin/env bash
# Installs the SDK from the default build into a scratch prefix, then builds and runs an applet
# (written with the SDK's applet helpers, its scenario registered with qor_add_scenario_test) and
# the minimal host out of tree against it: with the CMake package, and with pkg-config. Builds
# the installed sample sources, plays the demo with them, and reads the package's locations.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=build/sdk
consumer=build/sdk-consumer
samples=build/sdk-samples
rm -rf "$prefix" "$consumer" "$samples"
cmake --install build/default --prefix "$prefix" >/dev/null
cmake -S examples/sdk-consumer -B "$consumer" -G Ninja -DCMAKE_PREFIX_PATH="$PWD/$prefix" >/dev/null
cmake --build "$consumer"
ctest --test-dir "$consumer" --output-on-failure

export PKG_CONFIG_PATH="$PWD/$prefix/lib/pkgconfig"
cc -std=c11 -Wall -Werror -shared -fPIC -o "$consumer/echo-pkgconfig.so" \
    examples/sdk-consumer/echo.c $(pkg-config --cflags qor)
cc -std=c11 -Wall -Wpedantic -Werror -o "$consumer/minimal_host-pkgconfig" \
    examples/host/minimal_host.c $(pkg-config --cflags --libs qor-host-support) -ldl

# Where the SDK says its tool, sample applets, their sources and the toolchain files are.
qor_host=$(pkg-config --variable=qor_host qor)
"$qor_host" --version >/dev/null
test -f "$(pkg-config --variable=sample_applets_dir qor)/liblabel.so"
test -f "$(pkg-config --variable=toolchains_dir qor)/mingw-w64-x86_64.cmake"
test -f "$(pkg-config --variable=docdir qor)/scenarios.md"
cmake -S "$(pkg-config --variable=sample_sources_dir qor)" -B "$samples" -G Ninja \
    -DCMAKE_PREFIX_PATH="$PWD/$prefix" >/dev/null
cmake --build "$samples" >/dev/null
"$qor_host" run --quiet --applets "$samples"
"$prefix/bin/qor-host" run --quiet
echo "SDK check passed"

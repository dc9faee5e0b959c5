#!/usr/bin/env bash
# Builds QOR as a packager does, with a plain Release configuration and none of the presets, then
# runs the minimal host against the result. Compiler warnings are shown and counted, not fatal.
#   scripts/packager-build.sh gcc|clang [CMAKE_OPTION...]
# Further options go to the configure step (CI builds clang's tree without tests and benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
    gcc) export CC=gcc CXX=g++ ;;
    clang) export CC=clang CXX=clang++ ;;
    *)
        echo "usage: scripts/packager-build.sh gcc|clang" >&2
        exit 2
        ;;
esac
build=build/release-$1
shift
log=$build.log
echo "== release build with $CXX: cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release $*"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" 2>&1 | tee "$log"
echo "== release build with $CXX: $(grep -c 'warning:' "$log" || true) compiler warnings"
if ! run=$("$build/examples/minimal_host" "$build/src/libqor.so" \
    "$build/examples/applets/liblabel.so" 2>&1); then
    echo "$run"
    exit 1
fi
echo "${run##*$'\n'}"

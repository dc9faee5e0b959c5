#!/usr/bin/env bash
# Sets up, builds and runs every test: the plain build, an applet built out of tree against the
# installed SDK, then the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
for preset in default asan-ubsan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j "$(nproc)"
    if [ "$preset" = default ]; then
        scripts/sdk-check.sh
    fi
done

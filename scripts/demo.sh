#!/usr/bin/env bash
# Sets up, builds and plays the demo: the stand-in host loads libqor.so, a slider and a label
# applet, binds both to Core's "volume", moves the slider, localizes a caption and shuts down.
# Arguments go to "qor-host run" (e.g. --trace mermaid). Set-up and build print one line each
# step; their output is in build/setup.log and build/demo.log, shown when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-build.sh
mkdir -p build
log=build/demo.log
# A user's build: no tests, no benchmarks, warnings not fatal.
printf 'demo: building QOR, qor-host and the sample applets ... '
if { cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DQOR_BUILD_TESTS=OFF \
    -DQOR_BUILD_BENCHMARKS=OFF && cmake --build build/demo --target qor-host; } >"$log" 2>&1; then
    echo done
else
    echo failed
    echo "---- last lines of $log" >&2
    tail -n 25 "$log" >&2
    exit 1
fi
build/demo/host/qor-host run "$@"

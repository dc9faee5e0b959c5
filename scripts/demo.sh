#!/usr/bin/env bash
# Sets up, builds and plays the demo: the stand-in host loads libqor.so, a slider and a label
# applet, binds both to Core's "volume", moves the slider, localizes a caption and shuts down.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target qor-host
build/default/host/qor-host run "$@"

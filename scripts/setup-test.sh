#!/usr/bin/env bash
# Installs what the tests need (Debian 12): the build's needs, then GoogleTest, Google Benchmark,
# clang with its sanitizer and fuzzer runtimes, Xvfb and libX11 for the screen tests. Quiet: one
# line per step, nothing at all when everything is there.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup-build.sh"

ensure_packages test binutils libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev \
    libx11-6 xvfb python3

#!/usr/bin/env bash
# Installs what the tests need (Debian 12): the build's needs, then GoogleTest, Google Benchmark,
# clang with its sanitizer and fuzzer runtimes, Xvfb and xprop for the screen tests, and for the Windows
# build the mingw-w64 compilers, GoogleTest's sources and Wine. Quiet: one line per step, nothing
# at all when everything is there. 32-bit Wine is left to scripts/setup-wine32.sh (optional).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup-build.sh"

ensure_packages test binutils libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev \
    xvfb x11-utils python3
ensure_packages windows g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64

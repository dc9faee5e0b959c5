#!/usr/bin/env bash
# Sets up, builds and runs every test: the plain build, an applet and a host built out of tree
# against the installed SDK, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer. Every stage runs even when an earlier one failed; the last line is
# the total over all stages, "N passed, M failed", and the exit status is non-zero when anything
# failed.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/test-stages.sh

scripts/setup-test.sh || exit 1
ctest_stage default
check_stage sdk-check scripts/sdk-check.sh
ctest_stage asan-ubsan
finish_stages

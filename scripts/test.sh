#!/usr/bin/env bash
# Sets up, builds and runs every test: the plain build, an applet and a host built out of tree
# against the installed SDK, the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows build (qor.dll for x64 and x86, cross-compiled
# with mingw-w64): the x64 suite, the differential replay (the same corpus of messages through
# both builds, compared), the demo and the Windows SDK under Wine, the x86 DLL's tables.
# Every stage runs even when an earlier one failed; the last line is the total over all stages,
# "N passed, M failed, K skipped" (a skipped test never counts as passed), and the exit status is
# non-zero when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/test-stages.sh

scripts/setup-test.sh || exit 1
ctest_stage default
check_stage sdk-check scripts/sdk-check.sh
ctest_stage asan-ubsan
ctest_stage windows-x64
# The same message sequences through libqor.so and through qor.dll under Wine: the transcripts
# may differ only as tests/differential/compare_transcripts.py allows.
check_stage differential scripts/differential.sh
check_stage windows-demo env WINEDEBUG=-all WINEPREFIX="$PWD/build/windows-x64/wineprefix" \
    wine build/windows-x64/bin/qor-host.exe run --quiet
check_stage windows-sdk-check scripts/sdk-check-windows.sh
ctest_stage windows-x86
# One line that says why the x86 suite did not run, when it could not.
ctest --preset windows-x86 -V -R qor_tests_under_wine 2>/dev/null | grep -o "skipped: [^\"]*$" || true
finish_stages

#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, ASan, UBSan) and runs each for SECONDS, starting from the
# checked-in seed corpus and dictionary. A finding is written to build/fuzz/findings/ and fails
# the run.
#   fuzz/run.sh [SECONDS] [TARGET...]      targets: process_message xml_parser x11_server
#                                          load_bindings_payload parse_limits utf16_round_trip
#                                          (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(process_message xml_parser x11_server load_bindings_payload parse_limits
    utf16_round_trip)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/findings
for target in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    cp -n fuzz/corpus/"$target"/* "$corpus"/
    echo "== $target for ${seconds}s"
    build/fuzz/fuzz/"${target}"_fuzzer "$corpus" -dict=fuzz/"$target".dict \
        -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/findings/"$target"- 2>&1 | grep -E '^(stat::|#[0-9]+ +DONE|==|SUMMARY)' || true
    if ls build/fuzz/findings/"$target"-* >/dev/null 2>&1; then
        echo "FAILED: $target found inputs that break it: build/fuzz/findings/"
        exit 1
    fi
done

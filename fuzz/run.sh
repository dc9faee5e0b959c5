#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, ASan, UBSan) and runs each for SECONDS, starting from the
# checked-in seed corpus and dictionary, one target per core at a time. A finding is written to
# build/fuzz/findings/ and fails the run.
#   fuzz/run.sh [SECONDS] [TARGET...]      targets: process_message xml_parser x11_server
#                                          load_bindings_payload library_identity parse_limits
#                                          utf16_round_trip (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(process_message xml_parser x11_server load_bindings_payload
    library_identity parse_limits utf16_round_trip)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/findings build/fuzz/logs

# One target: its corpus grows in build/fuzz/corpus/, its output goes to build/fuzz/logs/.
run_target() {
    local target=$1 corpus=build/fuzz/corpus/$1
    mkdir -p "$corpus"
    cp -n fuzz/corpus/"$target"/* "$corpus"/
    build/fuzz/fuzz/"${target}"_fuzzer "$corpus" -dict=fuzz/"$target".dict \
        -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/findings/"$target"- >build/fuzz/logs/"$target".log 2>&1 || true
}

# As many targets at once as there are cores, each for SECONDS.
parallel=$(nproc)
echo "== ${#targets[@]} targets for ${seconds}s each, $parallel at a time"
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n || true
    done
    run_target "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
    echo "== $target"
    grep -E '^(stat::|#[0-9]+ +DONE|==|SUMMARY)' build/fuzz/logs/"$target".log || true
    if ls build/fuzz/findings/"$target"-* >/dev/null 2>&1; then
        echo "FAILED: $target found inputs that break it: build/fuzz/findings/"
        failed=1
    fi
done
exit $failed

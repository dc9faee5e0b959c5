#!/usr/bin/env bash
# Runs the benchmarks of the default build and prints every goal as a ratio QOR / floor (medians of
# repetitions, the pairs interleaved in one run), then the memory soak.
#   bench/run.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-7}
build=build/default

cmake --build --preset default --target qor_bench qor_soak >/dev/null
report=$(mktemp)
trap 'rm -f "$report"' EXIT
"$build/bench/qor_bench" --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_out="$report" --benchmark_out_format=json >/dev/null
python3 bench/ratios.py "$report" || status=$?
echo
echo "7 memory: 1,000,000 mixed messages"
"$build/bench/qor_soak" 1000000
exit "${status:-0}"

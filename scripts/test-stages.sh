# Sourced by scripts/test.sh (and any script that runs test stages): runs stages, counts what
# passed and failed in each, and ends with the total.
#   ctest_stage PRESET            configure, build and ctest one preset; counts its tests
#   check_stage NAME COMMAND...   a command that passes or fails as one check
#   finish_stages                 prints each stage's count, then the total as the last line,
#                                 "N passed, M failed"; returns non-zero when anything failed
# A stage that cannot build counts as one failure, and the later stages still run.

stage_passed=0
stage_failed=0
stage_results=()

# record_stage NAME PASSED FAILED TEXT: adds a stage's counts; TEXT says them for people.
record_stage() {
    local name=$1 passed=$2 failed=$3 text=$4
    stage_passed=$((stage_passed + passed))
    stage_failed=$((stage_failed + failed))
    stage_results+=("$(printf '%-12s %s' "$name" "$text")")
    echo "== $name: $text"
}

ctest_stage() {
    local preset=$1 output
    echo "== $preset"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
        record_stage "$preset" 0 1 "the build failed"
        return
    fi
    output=$(mktemp)
    ctest --preset "$preset" -j "$(nproc)" 2>&1 | tee "$output"
    # "100% tests passed, 0 tests failed out of 97"
    local counts
    counts=$(grep -oE '[0-9]+ tests failed out of [0-9]+' "$output" | tail -n 1)
    rm -f "$output"
    if [ -z "$counts" ]; then
        record_stage "$preset" 0 1 "ctest gave no result"
        return
    fi
    local failed=${counts%% *} total=${counts##* }
    record_stage "$preset" $((total - failed)) "$failed" \
        "$((total - failed)) of $total tests passed"
}

check_stage() {
    local name=$1
    shift
    echo "== $name"
    if "$@"; then
        record_stage "$name" 1 0 "passed"
    else
        record_stage "$name" 0 1 "FAILED"
    fi
}

finish_stages() {
    echo "== all stages"
    local line
    for line in "${stage_results[@]}"; do
        echo "   $line"
    done
    echo "$stage_passed passed, $stage_failed failed"
    [ "$stage_failed" -eq 0 ] && [ "$stage_passed" -gt 0 ]
}

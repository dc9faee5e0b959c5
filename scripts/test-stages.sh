# Sourced by scripts/test.sh (and any script that runs test stages): runs stages, counts what
# passed and failed in each, and ends with the total.
#   ctest_stage PRESET            configure, build and ctest one preset; counts its tests
#   check_stage NAME COMMAND...   a command that passes or fails as one check
#   finish_stages                 prints each stage's count, then the total as the last line,
#                                 "N passed, M failed, K skipped"; returns non-zero when anything
#                                 failed or nothing passed
# A stage that cannot build counts as one failure, and the later stages still run. A skipped test
# is counted apart, never as passed.

stage_passed=0
stage_failed=0
stage_skipped=0
stage_results=()

# record_stage NAME PASSED FAILED SKIPPED: adds a stage's counts and says them.
record_stage() {
    local name=$1 passed=$2 failed=$3 skipped=$4 text
    stage_passed=$((stage_passed + passed))
    stage_failed=$((stage_failed + failed))
    stage_skipped=$((stage_skipped + skipped))
    text="$passed passed, $failed failed, $skipped skipped"
    stage_results+=("$(printf '%-18s %s' "$name" "$text")")
    echo "== $name: $text"
}

ctest_stage() {
    local preset=$1 output
    echo "== $preset"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
        echo "== $preset: the build failed"
        record_stage "$preset" 0 1 0
        return
    fi
    output=$(mktemp)
    ctest --preset "$preset" -j "$(nproc)" 2>&1 | tee "$output"
    # "100% tests passed, 0 tests failed out of 97": ctest counts a skipped test as passed, and
    # lists it once more under "The following tests did not run:" as "  12 - name (Skipped)".
    local counts skipped
    counts=$(grep -oE '[0-9]+ tests failed out of [0-9]+' "$output" | tail -n 1)
    skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$output" |
        grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$')
    rm -f "$output"
    if [ -z "$counts" ]; then
        echo "== $preset: ctest gave no result"
        record_stage "$preset" 0 1 0
        return
    fi
    local failed=${counts%% *} total=${counts##* }
    record_stage "$preset" $((total - failed - skipped)) "$failed" "$skipped"
}

check_stage() {
    local name=$1
    shift
    echo "== $name"
    if "$@"; then
        record_stage "$name" 1 0 0
    else
        record_stage "$name" 0 1 0
    fi
}

finish_stages() {
    echo "== all stages"
    local line
    for line in "${stage_results[@]}"; do
        echo "   $line"
    done
    echo "$stage_passed passed, $stage_failed failed, $stage_skipped skipped"
    [ "$stage_failed" -eq 0 ] && [ "$stage_passed" -gt 0 ]
}

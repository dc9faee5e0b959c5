#!/usr/bin/env bash
# Branch coverage of src/ from the tests plus the fuzz corpora, with clang's source-based coverage:
# builds the coverage preset, runs the whole ctest suite, replays every fuzz target's checked-in
# seeds (and the corpus a local fuzz/run.sh grew in build/fuzz/corpus/, when there is one), and
# prints branches, missed branches and branch coverage per file of src/, then the total.
#   scripts/coverage.sh            the table
#   scripts/coverage.sh --html     also writes an annotated source view to build/coverage/html/
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/coverage
profiles=$PWD/$build/profiles

scripts/setup-test.sh
cmake --preset coverage >/dev/null
cmake --build --preset coverage
rm -rf "$profiles"
mkdir -p "$profiles"
# A failing test still adds what it reached; the table says so above it.
ctest --preset coverage -j "$(nproc)" >"$build/ctest.log" 2>&1 ||
    echo "coverage: some tests failed (see $build/ctest.log); the figures include them"
grep -E 'tests passed|tests failed' "$build/ctest.log" | tail -n 1

for fuzzer in "$build"/fuzz/*_fuzzer; do
    target=$(basename "$fuzzer" _fuzzer)
    inputs=(fuzz/corpus/"$target")
    [ -d build/fuzz/corpus/"$target" ] && inputs+=(build/fuzz/corpus/"$target")
    LLVM_PROFILE_FILE="$profiles/%p-%m.profraw" "$fuzzer" "${inputs[@]}" >/dev/null 2>&1 ||
        echo "coverage: $target's replay failed; its figures are partial"
done

llvm-profdata merge -sparse "$profiles"/*.profraw -o "$build/coverage.profdata"
# Every program and library of the build that carries coverage data.
objects=()
while IFS= read -r file; do
    [ ${#objects[@]} -eq 0 ] && objects+=("$file") || objects+=(-object "$file")
done < <(find "$build" -type f \( -name '*.so' -o -perm -u+x \) ! -name '*.sh' \
    -exec sh -c 'llvm-readelf -S "$1" 2>/dev/null | grep -q __llvm_covmap' _ {} \; -print | sort)
llvm-cov export -summary-only -instr-profile "$build/coverage.profdata" "${objects[@]}" \
    "$PWD/src" >"$build/coverage.json"
python3 - "$build/coverage.json" "$PWD/src/" <<'PY'
import json, os, sys
data = json.load(open(sys.argv[1]))["data"][0]
root = sys.argv[2]
print(f"{'file (src/)':<48} {'branches':>9} {'missed':>7} {'cover':>7}")
count = covered = 0
# The compilers name sources relative to the build directory ("<build>/../../src/..."): compare
# normalised paths.
for entry in sorted(data["files"], key=lambda f: os.path.normpath(f["filename"])):
    b = entry["summary"]["branches"]
    filename = os.path.normpath(entry["filename"])
    if not filename.startswith(root) or b["count"] == 0:
        continue
    name = filename[len(root):]
    count += b["count"]
    covered += b["covered"]
    print(f"{name:<48} {b['count']:>9} {b['count'] - b['covered']:>7} {b['percent']:>6.1f}%")
print(f"{'total':<48} {count:>9} {count - covered:>7} {100.0 * covered / max(count, 1):>6.1f}%")
PY
if [ "${1:-}" = "--html" ]; then
    llvm-cov show -format=html -output-dir="$build/html" -show-branches=count \
        -instr-profile "$build/coverage.profdata" "${objects[@]}" "$PWD/src" >/dev/null
    echo "coverage: $build/html/index.html"
fi

#!/usr/bin/env bash
# The differential stage: plays the corpus of message sequences (tests/differential/corpus)
# through libqor.so (the default build) and through qor.dll under Wine (the windows-x64 build),
# then compares the two transcripts. Any difference outside the allowed list of
# tests/differential/compare_transcripts.py fails the stage. Builds what it needs (qor_replay,
# QOR, the applets and the Wine prefix) in build/default and build/windows-x64; the transcripts
# stay in build/differential.
set -uo pipefail
cd "$(dirname "$0")/.."

out=build/differential
corpus=(tests/differential/corpus/*.corpus)
wine_prefix="$PWD/build/windows-x64/wineprefix"

build() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" --target qor_replay "$@"
}

if ! build default || ! build windows-x64 qor_wine_prefix; then
    echo "differential: the build failed"
    exit 1
fi
mkdir -p "$out"

# No X server on the Linux side: the resolution is one of the allowed differences anyway, and a
# display that does not answer would cost every applet load its two-second deadline. A replay
# that stops early still leaves its transcript up to there, which is compared all the same.
status=0
rm -f "$out/linux.transcript" "$out/windows.transcript"
if ! env -u DISPLAY build/default/tests/differential/qor_replay \
    --out "$out/linux.transcript" "${corpus[@]}"; then
    echo "differential: the Linux replay failed"
    status=1
fi
if ! env WINEDEBUG=-all WINEPREFIX="$wine_prefix" wine build/windows-x64/bin/qor_replay.exe \
    --out "$out/windows.transcript" "${corpus[@]}"; then
    echo "differential: the Windows replay failed"
    status=1
fi
if [ -f "$out/linux.transcript" ] && [ -f "$out/windows.transcript" ]; then
    python3 tests/differential/compare_transcripts.py "$out/linux.transcript" \
        "$out/windows.transcript" || status=1
fi
exit "$status"

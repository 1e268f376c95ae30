#!/usr/bin/env bash
# run_fuzz.sh [SECONDS] [RUNS] -- fuzzes each target built with the fuzz preset (the decoder alone, then a colour
# picture and its mask through composition) for SECONDS (default 600) or RUNS runs, whichever ends first, and
# prints each target's runs, runs per second and coverage. The build folder is OLVO_FUZZ_BUILD (default
# build/fuzz); OLVO_FUZZ_TARGETS picks targets (default "decoder compose"). Seeds come from the BMP suite beside
# the project when it is there, and from data/. Crashes are written to BUILD/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
runs=${2:--1}
build=${OLVO_FUZZ_BUILD:-build/fuzz}
findings=$build/findings
mkdir -p "$build/corpus/decoder" "$build/corpus/compose" "$findings"

suite=../shared/corpus/bmpsuite
if [ -d "$suite" ]; then
    find "$suite" -name '*.bmp' -exec cp -n {} "$build/corpus/decoder"/ \;
else
    echo "No BMP suite beside the project ($suite): starting from data/ only."
fi
cp -n data/*.bmp "$build/corpus/decoder"/ 2>/dev/null || true
# A composition input: one byte choosing colour and mask (even) or the mask tinted (odd), two bytes giving the
# colour picture's length, then the two files.
python3 - "$build/corpus/compose" "$suite/g" data/light_alpha.bmp <<'PY'
import os, sys
out, suite, tinted = sys.argv[1], sys.argv[2], sys.argv[3]
def seed(name, mode, colour, mask):
    path = os.path.join(out, name)
    if not os.path.exists(path):
        open(path, "wb").write(bytes([mode, len(colour) & 255, len(colour) >> 8]) + colour + mask)
if os.path.isdir(suite):
    pictures = sorted(f for f in os.listdir(suite) if os.path.getsize(os.path.join(suite, f)) < 20000)
    for a, b in zip(pictures, pictures[1:] + pictures[:1]):
        colour = open(os.path.join(suite, a), "rb").read()
        seed("same-" + a, 0, colour, colour)
        seed("pair-" + a + "-" + b, 0, colour, open(os.path.join(suite, b), "rb").read())
        seed("tinted-" + a, 1, b"", colour)
else:
    seed("tinted-light", 1, b"", open(tinted, "rb").read())
PY

status=0
for target in ${OLVO_FUZZ_TARGETS:-decoder compose}; do
    log=$build/last_run_$target.log
    started=$SECONDS
    nice "$build/fuzz/fuzz_$target" "$build/corpus/$target" -max_total_time="$seconds" -runs="$runs" \
        -artifact_prefix="$findings/$target-" -print_final_stats=1 -max_len=131072 -rss_limit_mb=4096 \
        >"$log" 2>&1 || status=$?
    total=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    time=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9/a-zA-Z]+' || true)
    echo "fuzz_$target: ${total:-?} runs in $((SECONDS - started)) s, ${time:-?} runs/s, $coverage"
    if [ "$status" -ne 0 ]; then
        grep -E '^(==[0-9]+==|SUMMARY)' "$log" || tail -n 40 "$log"
        echo "fuzz_$target found a failure (exit $status); the input is in $findings/."
        exit "$status"
    fi
done

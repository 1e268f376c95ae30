#!/usr/bin/env bash
# run_fuzz.sh [SECONDS] -- fuzzes the BMP decoder (built with the fuzz preset) for SECONDS (default 600),
# seeded from the BMP suite beside the project when it is there. Crashes are written to build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
fuzzer=build/fuzz/fuzz/fuzz_decoder
corpus=build/fuzz/corpus
findings=build/fuzz/findings
mkdir -p "$corpus" "$findings"
if [ -d ../shared/corpus/bmpsuite ]; then
    find ../shared/corpus/bmpsuite -name '*.bmp' -exec cp -n {} "$corpus"/ \;
else
    echo "No BMP suite beside the project (../shared/corpus/bmpsuite): starting from data/ only."
fi
cp -n data/*.bmp "$corpus"/ 2>/dev/null || true
log=build/fuzz/last_run.log
status=0
"$fuzzer" "$corpus" -max_total_time="$seconds" -artifact_prefix="$findings/" -print_final_stats=1 \
    -max_len=131072 -rss_limit_mb=4096 >"$log" 2>&1 || status=$?
grep -E '^(#[0-9]+.*DONE|stat::|==[0-9]+==|SUMMARY|Done)' "$log" || true
if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    echo "The fuzzer found a failure (exit $status); the input is in $findings/."
fi
exit "$status"

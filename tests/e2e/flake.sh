#!/usr/bin/env bash
# flake.sh [RUNS] -- runs every back-end's end-to-end scenarios RUNS times (default 20) in a row and prints how
# many times each scenario passed, with the reasons of the failures. It never fails: it finds flaky scenarios.
# Programs (a back-end whose program isn't built is left out): OLVO_SDL2 (build/release/olvo-gl), OLVO_SDL2_SAN
# (build/debug/olvo-gl, the sanitizer build), OLVO_WIN32 (build/win64/olvo-gl.exe), OLVO_WEB (build/web).
cd "$(dirname "${BASH_SOURCE[0]}")/../.." || exit 0
runs=${1:-20}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# backend LABEL ADAPTER PROGRAM [VAR=VALUE...]
backend() {
    local label=$1 adapter=$2 program=$3 i
    shift 3
    if [ ! -e "$program" ]; then
        echo "$label: $program not built, left out"
        return
    fi
    for ((i = 1; i <= runs; i++)); do
        # Debian's own python3: the browser's driver needs its python3-websocket.
        env "$@" timeout 3600 /usr/bin/python3 tests/e2e/driver.py "$adapter" "$program" >>"$logs/$label" 2>&1
    done
    echo "$label ($program), passes out of $runs:"
    sed -n 's/^PASS: \(.*\) \[[^]]*\]$/PASS\t\1/p; s/^FAIL (.*): \(.*\) \[[^]]*\]$/FAIL\t\1/p' "$logs/$label" |
        awk -F'\t' '{ seen[$2]++; if ($1 == "PASS") passed[$2]++ }
                    END { for (name in seen) printf "  %3d  %s\n", passed[name], name }' | sort -k2
    grep '^FAIL' "$logs/$label" | sed 's/ \[[^]]*\]$//' | sort | uniq -c | sed 's/^/  failed: /'
    grep -q '^\(PASS\|FAIL\)' "$logs/$label" || tail -n 3 "$logs/$label" | sed 's/^/  no scenario ran: /'
}

backend sdl2 sdl2 "${OLVO_SDL2:-build/release/olvo-gl}"
backend sdl2-sanitized sdl2 "${OLVO_SDL2_SAN:-build/debug/olvo-gl}" ASAN_OPTIONS=detect_leaks=0
backend wine wine "${OLVO_WIN32:-build/win64/olvo-gl.exe}"
backend web web "${OLVO_WEB:-build/web}"
exit 0

#!/usr/bin/env bash
# test.sh -- installs what the tests need, then builds and runs every test: unit, GL, package and end-to-end tests
# in the release build; the program's tests again under AddressSanitizer and UndefinedBehaviorSanitizer; a short
# fuzzing run; the Windows builds: the 32-bit program, its ZIP and its exe's imports and resources, and the same
# program for 64-bit Windows with its ZIP, unit and end-to-end tests under 64-bit Wine; the browser build with its
# tests in headless Chromium.
# Lanes run side by side, as they share nothing (each end-to-end run starts its own X servers, the web tests their
# own Chromium): first the fuzz build and run, on the core the package installs leave idle (it needs no packages a
# Debian machine with clang lacks); then the sanitizer build and its tests; the release build and its tests; and, once
# their packages are installed (while the first builds run), the Windows builds and their tests, and the browser build
# and its tests (the frame check after the release build: it compares with its renderer).
# Each stage's time is printed as it ends; its output is in build/test-logs/, and printed in full when it fails.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
logs=build/test-logs
rm -rf "$logs"
mkdir -p "$logs"
export MESA_SHADER_CACHE_DISABLE=true
# Mesa's software renderer draws on one thread in each program: many GL programs run at once here, and each would
# otherwise start a thread per core and take a share of the machine for each.
export LP_NUM_THREADS=0
begin=$SECONDS

# A skipped test proves nothing, so every ctest run fails on a skip, except for the tests named here with why.
allowed_skips=()
if [ ! -d ../shared/corpus/bmpsuite ]; then
    allowed_skips+=(BmpSuite.MatchesExpectedResults)
    echo "BmpSuite.MatchesExpectedResults may skip: the public BMP suite isn't beside the project" \
         "(../shared/corpus/bmpsuite)."
fi

# run_ctest ARGS... -- ctest ARGS, failing when it fails or when a test it ran skipped without leave.
run_ctest() {
    local log status=0 name unexpected=()
    log=$(mktemp)
    ctest "$@" 2>&1 | tee "$log" || status=$?
    # ctest lists skipped and disabled tests as "  12 - Name (Skipped)" after "The following tests did not run:".
    while read -r name; do
        if [[ " ${allowed_skips[*]} " != *" $name "* ]]; then unexpected+=("$name"); fi
    done < <(sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+) \((Skipped|Disabled)\)$/\1/p' "$log")
    rm -f "$log"
    if [ "${#unexpected[@]}" -gt 0 ]; then
        echo "Tests skipped, which proves nothing: ${unexpected[*]}"
        return 1
    fi
    return "$status"
}

# stage NAME COMMAND... -- runs COMMAND with its output in build/test-logs/NAME.log and prints how long it took;
# NAME.passed or NAME.failed there tells other lanes it ended.
stage() {
    local name=$1 started=$SECONDS
    shift
    if "$@" >"$logs/$name.log" 2>&1; then
        echo "== $name: $((SECONDS - started)) s"
        touch "$logs/$name.passed"
    else
        cat "$logs/$name.log"
        echo "== $name: FAILED after $((SECONDS - started)) s"
        touch "$logs/$name.failed"
        return 1
    fi
}
# after NAME -- waits (an hour at most) for another lane's stage NAME to end; true when it passed.
after() {
    local waited
    for ((waited = 0; waited < 3600; waited++)); do
        [ -e "$logs/$1.passed" ] && return 0
        [ -e "$logs/$1.failed" ] && return 1
        sleep 1
    done
    echo "== $1 didn't end within an hour"
    return 1
}

build() { cmake --preset "$1" -DOLVO_WERROR=ON && cmake --build --preset "$@"; }
pack() { cpack -B "build/$1" --config "build/$1/CPackConfig.cmake"; }
# The 32-bit program can't start on these machines: its exe is built, packed and inspected.
win32() { pack win32 && run_ctest --preset win32 -R Resources; }
win64() { pack win64 && run_ctest --preset win64; }

# The later lanes' packages, in a subshell of its own: without root, ensure_packages says what to install and exits.
later_packages() (
    ensure_packages "${WINDOWS_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}" "${WEB_PACKAGES[@]}" \
        "${WEB_TEST_PACKAGES[@]}"
)

lanes=()
lane() { "$@" & lanes+=($!); }
failed=0
# The two fuzz targets in turn, 30 s each, on one core: at once when nothing they need is missing (and this run
# won't stop at missing packages), beside the installs, on the core those leave idle.
fuzz_lane() { lane eval 'stage fuzz-build build fuzz && stage fuzz-run fuzz/run_fuzz.sh 30'; }
linux_packages=("${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}")
fuzz_early=0
if [ -z "$(missing_packages "${FUZZ_PACKAGES[@]}")" ] &&
   { [ "$(id -u)" -eq 0 ] || [ -z "$(missing_packages "${linux_packages[@]}")" ]; }; then
    fuzz_early=1
    fuzz_lane
fi
ensure_packages "${linux_packages[@]}"
echo "== packages for the Linux builds: $((SECONDS - begin)) s"
[ $fuzz_early -eq 1 ] || fuzz_lane
# One apt at a time: the later lanes' packages install while the first builds run.
stage packages-windows-web later_packages &
packages=$!
lane eval 'stage debug-build build debug && stage debug-tests run_ctest --preset debug -j 2'
lane eval 'stage release-build build release && stage release-tests run_ctest --preset release -j 2'
if wait $packages; then
    lane eval 'stage win64-build build win64 && stage win64-zip-and-tests win64 &&
               stage win32-build build win32 --target olvo-gl && stage win32-zip-and-resources win32'
    # The browser's frame check compares with the release build's renderer, so it waits for that build.
    lane eval 'stage web-build build web && stage web-tests run_ctest --preset web -E FramesMatchDesktop &&
               after release-build && stage web-frames run_ctest --preset web -R FramesMatchDesktop --no-tests=error'
else
    failed=1
fi
for lane in "${lanes[@]}"; do wait "$lane" || failed=1; done
echo "== all: $((SECONDS - begin)) s"
[ $failed -eq 0 ] || { echo "Some tests failed: see the FAILED stages above."; exit 1; }
echo "All tests passed."

#!/usr/bin/env bash
# test.sh -- installs what the tests need, then builds and runs every test: unit, GL and end-to-end tests in the
# release build, the browser build with its tests in headless Chromium, all of the release tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short fuzzing run, and the Windows builds: the 32-bit program,
# and the same program for 64-bit Windows with its unit and end-to-end tests under 64-bit Wine.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

export MESA_SHADER_CACHE_DISABLE=true

# A skipped test proves nothing, so every ctest run fails on a skip, except for the tests named here with why.
allowed_skips=()
if [ ! -d ../shared/corpus/bmpsuite ]; then
    allowed_skips+=(BmpSuite.MatchesExpectedResults)
    echo "BmpSuite.MatchesExpectedResults may skip: the public BMP suite isn't beside the project (../shared/corpus/bmpsuite)."
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

echo "== release build and tests"
cmake --preset release -DOLVO_WERROR=ON >/dev/null
cmake --build --preset release
run_ctest --preset release

echo "== web build (emscripten) and its tests in headless Chromium"
ensure_packages "${WEB_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}"
cmake --preset web -DOLVO_WERROR=ON >/dev/null
cmake --build --preset web
run_ctest --preset web

echo "== debug build (AddressSanitizer, UndefinedBehaviorSanitizer) and tests"
cmake --preset debug -DOLVO_WERROR=ON >/dev/null
cmake --build --preset debug
run_ctest --preset debug

echo "== fuzzing smoke run"
cmake --preset fuzz -DOLVO_WERROR=ON >/dev/null
cmake --build --preset fuzz
fuzz/run_fuzz.sh 30

echo "== Windows builds (MinGW-w64): the 32-bit program and its ZIP; the same program for 64-bit Windows with its"
echo "   unit tests and end-to-end tests under 64-bit Wine (machines of this kind run no 32-bit code)"
ensure_packages "${WINDOWS_PACKAGES[@]}"
cmake --preset win32 -DOLVO_WERROR=ON >/dev/null
cmake --build --preset win32
cmake --build --preset win32 --target package >/dev/null
cmake --preset win64 -DOLVO_WERROR=ON >/dev/null
cmake --build --preset win64
run_ctest --preset win64

echo "All tests passed."

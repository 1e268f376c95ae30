#!/usr/bin/env bash
# test.sh -- installs what the tests need, then builds and runs every test: unit, GL and end-to-end tests in the
# release build, the browser build with its tests in headless Chromium, all of the release tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short fuzzing run, and the 32-bit Windows build with its
# unit and end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

export MESA_SHADER_CACHE_DISABLE=true

echo "== release build and tests"
cmake --preset release -DOLVO_WERROR=ON >/dev/null
cmake --build --preset release
ctest --preset release

echo "== web build (emscripten) and its tests in headless Chromium"
ensure_packages "${WEB_PACKAGES[@]}" "${WEB_TEST_PACKAGES[@]}"
cmake --preset web -DOLVO_WERROR=ON >/dev/null
cmake --build --preset web
ctest --preset web

echo "== debug build (AddressSanitizer, UndefinedBehaviorSanitizer) and tests"
cmake --preset debug -DOLVO_WERROR=ON >/dev/null
cmake --build --preset debug
ctest --preset debug

echo "== fuzzing smoke run"
cmake --preset fuzz -DOLVO_WERROR=ON >/dev/null
cmake --build --preset fuzz
fuzz/run_fuzz.sh 60

echo "== Windows build (MinGW-w64), its unit tests and end-to-end tests under Wine"
ensure_i386
ensure_packages "${WINDOWS_PACKAGES[@]}"
cmake --preset win32 -DOLVO_WERROR=ON >/dev/null
cmake --build --preset win32
ctest --preset win32
cmake --build --preset win32 --target package >/dev/null

echo "All tests passed."

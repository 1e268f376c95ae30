#!/usr/bin/env bash
# test.sh -- installs what the tests need, then builds and runs every test: unit and end-to-end tests in the
# release build, the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

export MESA_SHADER_CACHE_DISABLE=true

echo "== release build and tests"
cmake --preset release -DOLVO_WERROR=ON >/dev/null
cmake --build --preset release
ctest --preset release

echo "== debug build (AddressSanitizer, UndefinedBehaviorSanitizer) and tests"
cmake --preset debug -DOLVO_WERROR=ON >/dev/null
cmake --build --preset debug
ctest --preset debug

echo "== fuzzing smoke run"
cmake --preset fuzz -DOLVO_WERROR=ON >/dev/null
cmake --build --preset fuzz
fuzz/run_fuzz.sh 60

echo "All tests passed."

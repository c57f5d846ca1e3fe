#!/usr/bin/env bash
# Sets up and runs every test: the C++ tests (also under AddressSanitizer and
# UndefinedBehaviorSanitizer), a short run of each fuzzer, the page script's
# unit tests, the end-to-end tests in headless Chromium, and the Debian
# package's checks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --with-tests

jobs=$(nproc)

echo "== build and C++ tests"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

echo "== C++ tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs" --target unit_tests flow_tests sagewend-data
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j "$jobs"

echo "== fuzzers (short runs from their seeds)"
cmake --preset fuzz >/dev/null
fuzzers=$(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build --preset fuzz -j "$jobs" --target $fuzzers
ctest --test-dir build/fuzz -R '^fuzz_' --output-on-failure

echo "== the page script's own logic (Node.js test runner, no browser)"
node --test tests/page/*.test.mjs

echo "== end-to-end tests in headless Chromium"
(cd tests/e2e && SAGEWEND_BIN="$PWD/../../build/ci/sagewend" npm test)

echo "== the Debian package"
scripts/check-package.sh

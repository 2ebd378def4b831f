#!/usr/bin/env bash
# Builds Kinovane twice (an optimised build, and a debug build under AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test suite of both under a virtual display, then
# runs each fuzz target for a bounded time (FUZZ_SECONDS each, default 90).
# Any compiler warning, test failure, sanitizer report or fuzzer finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== formatting"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKINOVANE_WERROR=ON
cmake --build build -j "$jobs"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKINOVANE_WERROR=ON \
    -DKINOVANE_SANITIZE=ON -DKINOVANE_BENCH=OFF
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzzing"
bash fuzz/run.sh "${FUZZ_SECONDS:-90}"

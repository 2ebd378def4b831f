#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time on one worker, starting from the
# seed corpus in fuzz/corpus. Any crash, leak, sanitizer report, timeout or out-of-memory
# fails the run; the input that caused it is left in build-fuzz/findings/.
#
#   fuzz/run.sh [seconds per target] [target...]     (default: 60 seconds, every target)
#
# Environment: KINOVANE_BUILD_LOCK, a file to take with flock around the build (machines where
# several builds share the cores); FUZZ_BUILD_ONLY=1 builds without running.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_bvh fuzz_masssegments)
fi

locked() {
    if [ -n "${KINOVANE_BUILD_LOCK:-}" ]; then
        flock "$KINOVANE_BUILD_LOCK" "$@"
    else
        "$@"
    fi
}

echo "== fuzz build"
locked cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DKINOVANE_GUI=OFF -DKINOVANE_BENCH=OFF -DKINOVANE_FUZZ=ON \
    -DKINOVANE_WERROR=ON
locked cmake --build build-fuzz -j 2 --target "${targets[@]}"
[ "${FUZZ_BUILD_ONLY:-0}" = 1 ] && exit 0

# Files the targets write go to memory when it is there.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for target in "${targets[@]}"; do
    name=${target#fuzz_}
    corpus=build-fuzz/corpus/$name
    findings=build-fuzz/findings/$name
    mkdir -p "$corpus" "$findings"
    echo "== $target for $seconds s"
    # The seeds go in as a second, read-only corpus directory; new inputs land in $corpus,
    # which later runs start from.
    build-fuzz/fuzz/"$target" "$corpus" "fuzz/corpus/$name" \
        -dict="fuzz/$name.dict" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/"
done

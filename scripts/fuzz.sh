#!/bin/sh
# Builds the libFuzzer harnesses (preset fuzz: the main build with LAMP_FUZZ, clang, ASan + UBSan)
# and runs each for a bounded time against the committed seed corpus. A crash fails the script;
# its input is left in build/fuzz.
#   scripts/fuzz.sh                    20 s per harness, all at once
#   FUZZ_SECONDS=600 scripts/fuzz.sh   a longer run (seconds per harness)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build/fuzz
SECONDS_EACH=${FUZZ_SECONDS:-20}
HARNESSES="request text"
JOBS=$(nproc)
[ "$JOBS" -gt 2 ] && JOBS=2

cd "$ROOT"
# A tree configured from fuzz/ alone, as an earlier layout did, cannot be reconfigured from here.
if [ -f "$BUILD/CMakeCache.txt" ] && ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$ROOT" "$BUILD/CMakeCache.txt"; then
    rm -rf "$BUILD"
fi
if ! cmake --preset fuzz >"$BUILD.configure.log" 2>&1; then
    cat "$BUILD.configure.log"
    exit 1
fi
if ! cmake --build --preset fuzz -j "$JOBS" >"$BUILD.build.log" 2>&1; then
    grep -E 'error|Error' "$BUILD.build.log" | head -40
    exit 1
fi

# fuzz HARNESS: one harness for its bounded time; new inputs go to its work directory, the
# committed corpus is only read.
fuzz() {
    work="$BUILD/work/$1"
    mkdir -p "$work"
    cd "$BUILD" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "./bin/$1_fuzzer" -max_total_time="$SECONDS_EACH" -max_len=8192 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "$work" "$ROOT/fuzz/corpus/$1" >"$BUILD/$1.log" 2>&1
}

# The harnesses run side by side, one process each.
echo "fuzzing $HARNESSES for ${SECONDS_EACH}s each, side by side"
set --
for harness in $HARNESSES; do
    fuzz "$harness" &
    set -- "$@" $!
done
status=0
for harness in $HARNESSES; do
    if ! wait "$1"; then
        echo "fuzzing $harness FAILED: see $BUILD/$harness.log and the crash-* file in $BUILD"
        status=1
    fi
    shift
    echo "$harness: $(grep -E '^stat::number_of_executed_units|^Done' "$BUILD/$harness.log" | tail -1)"
done
exit $status

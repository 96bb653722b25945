#!/usr/bin/env bash
# The benchmark figures: the native light_bench, then the Windows program under Wine beside
# Wine's own floor measured in the same session. Each in a network namespace of its own, since
# both serve 127.0.0.1:48888. Expects the native and Windows builds of the test command.
# Usage: bash scripts/bench.sh [--windows-only] [light_bench ARGS...]
#   BENCH_RUNS (default 5): runs of each platform; the first native run gives every figure, the
#   others (light_bench --quick) latency and throughput again. The machine's load moves the floor
#   between runs, so each run's distance from its own floor counts, and the summary lines give
#   their best and median.
#   BENCH_WINE_RUNS (default BENCH_RUNS): Wine sessions, each measuring Wine's floor and then the
#   program.
set -uo pipefail
cd "$(dirname "$0")/.."
native=1
if [ "${1:-}" = --windows-only ]; then
    native=0
    shift
fi
runs=${BENCH_RUNS:-5}
load() { cut -d' ' -f1-3 /proc/loadavg; }
# summary TITLE TARGET50 TARGET99 < lines "P50DISTANCE P99DISTANCE"
summary() {
    python3 -c '
import statistics, sys
title, t50, t99 = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
rows = [tuple(map(float, line.split())) for line in sys.stdin if len(line.split()) == 2]
if not rows:
    sys.exit(print(title + ": no figures"))
p50 = [r[0] for r in rows]
p99 = [r[1] for r in rows]
print("%s, distance from the floor over %d runs: p50 best %+.3f median %+.3f (target <= %+.2f), "
      "p99 best %+.3f median %+.3f (target <= %+.2f)" % (title, len(rows), min(p50), statistics.median(p50), t50,
                                                        min(p99), statistics.median(p99), t99))' "$@"
}
distances() { sed -n 's/.*p50 [0-9.]* (floor [0-9.]*, distance \([-+0-9.]*\).*p99 [0-9.]* (floor [0-9.]*, distance \([-+0-9.]*\).*/\1 \2/p'; }
if [ $native = 1 ]; then
    [ -x build/native/bin/light_bench ] || { echo "build the native tree first (bash scripts/test.sh)"; exit 1; }
    native_rows=()
    for run in $(seq "$runs"); do
        echo "== native, run $run of $runs (load $(load))"
        quick=()
        [ "$run" -gt 1 ] && quick=(--quick)
        output=$(unshare -n sh -c 'ip link set lo up && build/native/bin/light_bench "$@"' _ "$@" "${quick[@]}")
        echo "$output"
        native_rows+=("$(grep '^(a) latency' <<<"$output" | distances)")
    done
    printf '%s\n' "${native_rows[@]}" | summary "Linux" 0.01 0.03
fi
if compgen -G 'build/windows/*/bin/lightservice.exe' >/dev/null && command -v wine >/dev/null 2>&1; then
    wine_runs=${BENCH_WINE_RUNS:-$runs}
    wine_rows=()
    for run in $(seq "$wine_runs"); do
        echo "== Windows program under Wine, session $run of $wine_runs (load $(load))"
        output=$(unshare -n bash scripts/windows-wine.sh bench "$PWD/build/windows")
        echo "$output"
        wine_rows+=("$(grep '^Windows program under Wine: (a) latency' <<<"$output" | distances)")
    done
    printf '%s\n' "${wine_rows[@]}" | summary "Windows program under Wine" 0.02 0.05
else
    echo "== Windows program under Wine: not measured (no Windows build or no Wine)"
fi

#!/usr/bin/env bash
# The benchmark figures: the native light_bench, then the Windows program under Wine beside
# Wine's own floor measured in the same session. Each in a network namespace of its own, since
# both serve 127.0.0.1:48888. Expects the native and Windows builds of the test command.
# Usage: bash scripts/bench.sh [--windows-only] [light_bench ARGS...]
#   BENCH_WINE_RUNS (default 3): Wine sessions, each measuring the floor and then the program;
#   the machine's load moves the floor between sessions, so each session's distance counts and
#   the summary gives their best and median.
set -uo pipefail
cd "$(dirname "$0")/.."
native=1
if [ "${1:-}" = --windows-only ]; then
    native=0
    shift
fi
load() { cut -d' ' -f1-3 /proc/loadavg; }
if [ $native = 1 ]; then
    [ -x build/native/bin/light_bench ] || { echo "build the native tree first (bash scripts/test.sh)"; exit 1; }
    echo "== native (load $(load))"
    unshare -n sh -c 'ip link set lo up && build/native/bin/light_bench "$@"' _ "$@"
fi
if compgen -G 'build/windows/*/bin/lightservice.exe' >/dev/null && command -v wine >/dev/null 2>&1; then
    runs=${BENCH_WINE_RUNS:-3}
    distances=()
    for run in $(seq "$runs"); do
        echo "== Windows program under Wine, session $run of $runs (load $(load))"
        output=$(unshare -n bash scripts/windows-wine.sh bench "$PWD/build/windows")
        echo "$output"
        distances+=("$(sed -n "s/^Windows program minus Wine's floor: p50 \([-+0-9.]*\) .*, p99 \([-+0-9.]*\) .*/\1 \2/p" <<<"$output")")
    done
    printf '%s\n' "${distances[@]}" | python3 -c '
import statistics, sys
rows = [tuple(map(float, line.split())) for line in sys.stdin if len(line.split()) == 2]
if not rows:
    sys.exit(print("Windows program under Wine: no figures"))
p50 = [r[0] for r in rows]
p99 = [r[1] for r in rows]
print("Windows program minus Wine floor over %d sessions: p50 best %+.3f median %+.3f (target <= 0.05), "
      "p99 best %+.3f median %+.3f (target <= 0.10)" % (len(rows), min(p50), statistics.median(p50),
                                                      min(p99), statistics.median(p99)))'
else
    echo "== Windows program under Wine: not measured (no Windows build or no Wine)"
fi

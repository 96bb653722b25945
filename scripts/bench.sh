#!/usr/bin/env bash
# The benchmark figures: the native light_bench, then the Windows program under Wine beside
# Wine's own floor measured in the same session. Each in a network namespace of its own, since
# both serve 127.0.0.1:48888. Expects the native and Windows builds of the test command.
# Usage: bash scripts/bench.sh [--windows-only] [--write-docs] [light_bench ARGS...]
#   BENCH_RUNS (default 5): runs of each platform; the first native run gives every figure, the
#   others (light_bench --quick) latency and throughput again. The machine's load moves the floor
#   between runs, so each run's distance from its own floor counts, and the summary lines give
#   their best and median.
#   BENCH_WINE_RUNS (default BENCH_RUNS): Wine sessions, each measuring Wine's floor and then the
#   program.
#   Everything printed is kept in build/bench.log; scripts/bench_table.py reads it for the summary
#   lines and the figures table, which --write-docs puts into docs/development.md.
set -uo pipefail
cd "$(dirname "$0")/.."
native=1 write=
while [ $# -gt 0 ]; do
    case $1 in
    --windows-only) native=0 ;;
    --write-docs) write=1 ;;
    *) break ;;
    esac
    shift
done
runs=${BENCH_RUNS:-5}
load() { cut -d' ' -f1-3 /proc/loadavg; }
mkdir -p build
log=build/bench.log
exec > >(tee "$log") 2>&1
if [ $native = 1 ]; then
    [ -x build/native/bin/light_bench ] || { echo "build the native tree first (bash scripts/test.sh)"; exit 1; }
    for run in $(seq "$runs"); do
        echo "== native, run $run of $runs (load $(load))"
        quick=()
        [ "$run" -gt 1 ] && quick=(--quick)
        unshare -n sh -c 'ip link set lo up && build/native/bin/light_bench "$@"' _ "$@" "${quick[@]}"
    done
    echo "== native, flood (load $(load))"
    unshare -n sh -c 'ip link set lo up && build/native/bin/light_bench --flood 20'
fi
if compgen -G 'build/windows/*/bin/lightservice.exe' >/dev/null && command -v wine >/dev/null 2>&1; then
    wine_runs=${BENCH_WINE_RUNS:-$runs}
    wine_bin=$PWD/build/windows/$(/usr/bin/python3 tests/e2e/e2e.py)/bin
    for run in $(seq "$wine_runs"); do
        echo "== Windows program under Wine, session $run of $wine_runs (load $(load))"
        # Wine's floor, then the program's requests, in one session (tests/windows/wine-session.sh).
        unshare -n bash tests/windows/wine-session.sh "$PWD/build/windows/wineprefix" "$PWD/build/windows/run-bench" \
            bash -c 'wine=${WINELOADER:-wine}
                (cd "$1" && exec "$wine" lightservice.exe run </dev/null >/dev/null 2>&1) &
                floor=$("$wine" "$1/wine_floor.exe" 2>/dev/null | tr -d "\r")
                echo "$floor"
                read -r p50 p99 < <(sed -n "s/.*p50 \([0-9.]*\) x 50 ms, p99 \([0-9.]*\) x.*/\1 \2/p" <<<"$floor")
                build/native/bin/light_bench --running "Windows program under Wine:" ${p99:+"$p50" "$p99"}' _ "$wine_bin"
    done
else
    echo "== Windows program under Wine: not measured (no Windows build or no Wine)"
fi
echo
python3 scripts/bench_table.py "$log" ${write:+--write docs/development.md}

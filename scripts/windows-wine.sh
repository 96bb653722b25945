#!/usr/bin/env bash
# One Wine session of the Windows checks, inside a network namespace of its own (the caller runs
# it under `unshare -n`): loopback up, a fresh copy of the base prefix, its own wineserver, and
# everything ended before it returns. Sockets of Wine programs belong to the wineserver, so
# 127.0.0.1:48888 here is this session's alone.
# Usage: bash scripts/windows-wine.sh suites|bench OUT
#   OUT is the Windows build directory (build/windows); Wine runs OUT/i686 where the kernel
#   runs 32-bit programs, OUT/x86_64 otherwise.
set -uo pipefail
session=$1
out=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
# The build this machine runs: i686 (the kiosk's) unless the kernel runs no 32-bit programs.
if [ -z "${WINE_ARCH:-}" ]; then
    WINE_ARCH=$(/usr/bin/python3 "$root/tests/e2e/e2e.py") WINE=wine
    [ "$WINE_ARCH" = i686 ] || export WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
fi
bin=$out/$WINE_ARCH/bin
work=$out/run-$session
export WINEPREFIX=$out/prefix-$session WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ip link set lo up || { echo "$session: no loopback in this namespace"; exit 1; }

pids=()
finish() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
trap finish EXIT

rm -rf "$WINEPREFIX" "$work"
mkdir -p "$work"
# Hard links: the prefix is some 700 MB of system files Wine only reads; the registry, which it
# rewrites, is copied for real.
cp -al "$out/wineprefix" "$WINEPREFIX"
for reg in "$out"/wineprefix/*.reg; do cp --remove-destination "$reg" "$WINEPREFIX/"; done
wineserver -p 2>/dev/null

windows_path() { echo "Z:${1//\//\\}"; }
export LAMPSIM_STATE; LAMPSIM_STATE=$(windows_path "$work/lampsim.state")

case $session in
suites)
    # COM ports: each pair of COM names are the two ends of one pseudo-terminal pair; the Modbus
    # port's far end is served by the relay board stand-in.
    pty_pair() {
        socat PTY,raw,echo=0,link="$work/$1" PTY,raw,echo=0,link="$work/$2" 2>"$work/socat-$1.log" &
        pids+=($!)
    }
    pty_pair lamp peer
    pty_pair high highpeer
    pty_pair modbus relayboard
    for _ in $(seq 50); do
        [ -e "$work/peer" ] && [ -e "$work/highpeer" ] && [ -e "$work/relayboard" ] && break
        sleep 0.1
    done
    link_com() { ln -sfn "$(readlink -f "$work/$2")" "$WINEPREFIX/dosdevices/com$1"; }
    link_com 3 lamp && link_com 4 peer && link_com 12 high && link_com 13 highpeer && link_com 5 modbus || {
        echo "Lamp tests: 0 passed, 1 failed (no pseudo-terminals for the COM ports)"
        exit 1
    }
    /usr/bin/python3 "$root/tests/support/modbus_peer.py" "$work/relayboard" >"$work/coils" \
        2>"$work/modbus_peer.log" &
    pids+=($!)
    for _ in $(seq 50); do grep -qx ready "$work/coils" && break; sleep 0.1; done
    export LAMPTEST_LAMP_COM=3 LAMPTEST_PEER_COM=4 LAMPTEST_HIGH_COM=12 LAMPTEST_HIGH_PEER_COM=13
    export LAMPTEST_MODBUS_COM=5
    export LAMPTEST_COILS; LAMPTEST_COILS=$(windows_path "$work/coils")

    status=0
    timeout 300 "$WINE" "$bin/winetest/main/lamptests.exe" "$@" 2>"$work/lamptests.err" | tr -d '\r' | tee "$work/lamptests.log"
    [ "${PIPESTATUS[0]}" = 0 ] || status=1
    grep -q '^Lamp tests: ' "$work/lamptests.log" ||
        { tail -20 "$work/lamptests.err"; echo "Lamp tests: 0 passed, 1 failed (did not run, see $work)"; }
    # The Windows classes. Left out of the native tests: Linux's own reading of an error number,
    # the C library's refusal of text the locale cannot write (msvcrt drops it instead), and a
    # field width wider than the stack, which mingw's printf builds on the stack.
    timeout 300 "$WINE" "$bin/winetest/main/windows_tests.exe" --gtest_brief=1 \
        --gtest_filter=-SystemErrorText.*:Format.PersistentFailureEndsWithEmptyText:Format.EncodingErrorGivesEmptyText 2>&1 |
        tr -d '\r' | tee "$work/windows_tests.log"
    [ "${PIPESTATUS[0]}" = 0 ] || status=1
    ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$work/windows_tests.log")
    good=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$work/windows_tests.log")
    if [ -n "$ran" ]; then
        echo "Windows class tests: ${good:-0} passed, $((ran - ${good:-0})) failed"
    else
        echo "Windows class tests: 0 passed, 1 failed (did not run to the end)"
        status=1
    fi
    exit $status
    ;;

bench)
    # Wine's floor and the program's requests, measured in the same session.
    (cd "$bin" && exec "$WINE" lightservice.exe run </dev/null >"$work/run.out" 2>&1) &
    pids+=($!)
    floor=$("$WINE" "$bin/wine_floor.exe" 2>/dev/null | tr -d '\r')
    read -r floor50 floor99 < <(sed -n 's/.*p50 \([0-9.]*\) x 50 ms, p99 \([0-9.]*\) x.*/\1 \2/p' <<<"$floor")
    program=$("$root/build/native/bin/light_bench" --running "Windows program under Wine:" ${floor99:+"$floor50" "$floor99"})
    echo "$floor"
    echo "$program"
    exit 0
    ;;
esac

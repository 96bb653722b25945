#!/usr/bin/env bash
# The Wine session the Windows test programs run in, around one command (ctest in the Windows
# tree): inside a network namespace of its own (the caller runs it under `unshare -n`), loopback
# up, a fresh copy of the base prefix with its own wineserver, COM ports linked to pseudo-terminal
# pairs, the relay board stand-in on the far end of the Modbus port, and everything ended before
# it returns.
# Usage: unshare -n bash tests/windows/wine-session.sh BASE_PREFIX WORK COMMAND...
#   e.g. ... build/windows/wineprefix build/windows/run-tests ctest --test-dir build/windows/x86_64
set -uo pipefail
base=$1
mkdir -p "$2"
work=$(cd "$2" && pwd)
shift 2
root=$(cd "$(dirname "$0")/../.." && pwd)
# Debian's wine command starts the 32-bit loader whenever it is installed; where the kernel runs
# no 32-bit programs, Wine's own child processes need the 64-bit one.
/usr/lib/wine/wine --version >/dev/null 2>&1 || export WINELOADER=/usr/lib/wine/wine64
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ip link set lo up || { echo "no loopback in this namespace"; exit 1; }

pids=()
finish() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
trap finish EXIT

rm -rf "$WINEPREFIX" "$work"/{lamp,peer,high,highpeer,modbus,relayboard,coils,lampsim.state}
# Hard links: the prefix is some 700 MB of system files Wine only reads; the registry, which it
# rewrites, is copied for real.
cp -al "$base" "$WINEPREFIX"
for reg in "$base"/*.reg; do cp --remove-destination "$reg" "$WINEPREFIX/"; done
wineserver -p 2>/dev/null
# The first Wine program starts the prefix's own processes (services, desktop, devices), which
# keep its standard handles until the session ends: started here, they keep none of the command's.
"${WINELOADER:-wine}" cmd /c exit </dev/null >/dev/null 2>&1

windows_path() { echo "Z:${1//\//\\}"; }
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
    echo "no pseudo-terminals for the COM ports"
    exit 1
}
/usr/bin/python3 "$root/tests/support/modbus_peer.py" "$work/relayboard" >"$work/coils" 2>"$work/modbus_peer.log" &
pids+=($!)
for _ in $(seq 50); do grep -qx ready "$work/coils" && break; sleep 0.1; done

export LAMPTEST_LAMP_COM=3 LAMPTEST_PEER_COM=4 LAMPTEST_HIGH_COM=12 LAMPTEST_HIGH_PEER_COM=13 LAMPTEST_MODBUS_COM=5
export LAMPTEST_COILS LAMPSIM_STATE
LAMPTEST_COILS=$(windows_path "$work/coils")
LAMPSIM_STATE=$(windows_path "$work/lampsim.state")
"$@"

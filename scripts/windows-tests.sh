#!/usr/bin/env bash
# The Windows build: cross-compiles the tree with mingw-w64 (i686, the shipped 32-bit
# BrillLamp.dll, and x86_64 as a second compile check) and runs the 32-bit Windows tests under
# Wine, in a Wine prefix of its own inside the build directory.
# Usage: bash scripts/windows-tests.sh [BUILD_DIR [--only CASE]]   (default build/windows)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-build/windows}"
out=$(cd "${1:-build/windows}" && pwd)
[ $# -gt 0 ] && shift
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

say() { echo "== windows: $*"; }

# configure ARCH: the build tree of one architecture.
configure() {
    local dir=$out/$1
    mkdir -p "$dir"
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$1.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$dir.configure.log" 2>&1 || {
        cat "$dir.configure.log"
        return 1
    }
}

# build ARCH [TARGET]: errors are shown, the whole log stays in ARCH.build.log.
build() {
    local dir=$out/$1
    cmake --build "$dir" -j "$jobs" ${2:+--target "$2"} >"$dir.build.log" 2>&1 || {
        grep -E 'error|Error' "$dir.build.log" | head -40
        return 1
    }
}

say "configure the i686 and x86_64 cross builds"
if ! configure i686 || ! configure x86_64; then
    echo "Windows tests: not run, the cross build could not be configured"
    exit 1
fi
say "build the 32-bit driver, port-access modules and tests"
if ! build i686 winetest; then
    echo "Windows tests: not run, the 32-bit driver or its tests did not build"
    exit 1
fi
# Every Windows source, lightservice's included, must compile for both architectures.
# uncompiled ARCH: sources of the system meant for Windows that left no object in ARCH's tree.
uncompiled() {
    local src objects
    objects=$(find "$out/$1" -name '*.obj' -printf '%f\n' | sort -u)
    (cd "$root" && find lampdriver portaccess utils ports light service tests/windows -name '*.cpp') |
        sort | while IFS= read -r src; do
            case $(basename "$src") in Posix*) continue ;; esac
            grep -Eq '^#(if !defined\(_WIN32\)|ifndef _WIN32)' "$root/$src" && continue
            grep -qxF "$(basename "$src").obj" <<<"$objects" || echo "$src"
        done
}

broken=()
for arch in i686 x86_64; do
    say "compile check of every Windows source, $arch"
    if ! build $arch; then
        broken+=($arch)
        continue
    fi
    missing=$(uncompiled $arch)
    if [ -n "$missing" ]; then
        echo "not compiled for $arch:" $missing
        broken+=($arch)
    fi
done
if [ ${#broken[@]} = 0 ]; then
    compiled="Windows compile check (i686, x86_64): passed"
else
    compiled="Windows compile check: FAILED for ${broken[*]} (see $out/<arch>.build.log)"
fi

if ! command -v wine >/dev/null 2>&1; then
    echo "$compiled"
    echo "Windows tests: not run, Wine is not installed here (cross build checked only)"
    [[ $compiled == *FAILED* ]] && exit 1
    exit 0
fi

export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$out/run
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    wineserver -k 2>/dev/null
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "create the Wine prefix $WINEPREFIX"
    # The registry files appear once the server has ended.
    timeout 120 wine wineboot -i >"$out/wineboot.log" 2>&1
    booted=$?
    timeout 60 wineserver -w
    if [ $booted != 0 ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
        cat "$out/wineboot.log"
        echo "Windows tests: 0 passed, 1 failed (Wine could not create its prefix)"
        exit 1
    fi
fi

rm -rf "$work"
mkdir -p "$work"

# COM ports: each pair of COM names are the two ends of one pseudo-terminal pair; the Modbus
# port's far end is served by the relay board stand-in.
lamp_com=3 peer_com=4 high_com=12 high_peer_com=13 modbus_com=5
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
link_com() {
    local target
    target=$(readlink -f "$work/$2") || return 1
    ln -sfn "$target" "$WINEPREFIX/dosdevices/com$1"
}
link_com $lamp_com lamp && link_com $peer_com peer && link_com $high_com high &&
    link_com $high_peer_com highpeer && link_com $modbus_com modbus || {
    echo "Windows tests: 0 passed, 1 failed (no pseudo-terminals for the COM ports)"
    exit 1
}

/usr/bin/python3 "$root/tests/windows/modbus_peer.py" "$work/relayboard" "$work/coils" \
    2>"$work/modbus_peer.log" &
pids+=($!)
for _ in $(seq 50); do [ -f "$work/coils" ] && break; sleep 0.1; done
if [ ! -f "$work/coils" ]; then
    cat "$work/modbus_peer.log"
    echo "Windows tests: 0 passed, 1 failed (the Modbus peer did not start)"
    exit 1
fi

windows_path() { echo "Z:${1//\//\\}"; }
export LAMPTEST_LAMP_COM=$lamp_com LAMPTEST_PEER_COM=$peer_com
export LAMPTEST_HIGH_COM=$high_com LAMPTEST_HIGH_PEER_COM=$high_peer_com
export LAMPTEST_MODBUS_COM=$modbus_com
export LAMPTEST_COILS; LAMPTEST_COILS=$(windows_path "$work/coils")
export LAMPSIM_STATE; LAMPSIM_STATE=$(windows_path "$work/lampsim.state")

say "run the 32-bit tests under Wine"
start=$(date +%s)
timeout 300 wine "$out/i686/bin/winetest/main/lamptests.exe" "$@" 2>"$work/wine.log" | tee "$work/lamptests.log"
status=${PIPESTATUS[0]}
say "took $(( $(date +%s) - start )) s"
result=$(grep -E '^Windows tests: ' "$work/lamptests.log" | tail -1)
if [ -z "$result" ]; then
    tail -20 "$work/wine.log"
    echo "Windows tests: 0 passed, 1 failed (the test program did not run under Wine, status $status)"
    exit 1
fi
echo "$compiled"
echo "$result"
[[ $compiled == *FAILED* ]] && exit 1
exit "$status"

#!/usr/bin/env bash
# Builds and runs the whole test suite: natively, with AddressSanitizer and
# UndefinedBehaviorSanitizer, with ThreadSanitizer for the threaded parts, and the Windows
# build (cross-compiled, tested under Wine). Installs what it needs first (run as root).
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test || exit 1

# What the parts below call, checked once the packages are in: a missing one is named now rather
# than found as an empty result twenty minutes later.
needed=(cmake ctest g++ clang clang-format unshare ip ss sysctl iconv getconf timeout script socat python3 nc file
        objdump readelf dpkg-deb systemd-analyze i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix
        wixl msibuild osslsigncode openssl sha256sum)
for command in "${needed[@]}"; do
    if ! command -v "$command" >/dev/null; then
        echo "scripts/test.sh: the command '$command' is missing although scripts/deps.sh ran; install the package that provides it" >&2
        exit 1
    fi
done

# The Python parts run on Debian's python3, whatever python3 comes first on PATH.
for module in pytest serial pymodbus pefile; do
    if ! /usr/bin/python3 -c "import $module" 2>/dev/null; then
        echo "scripts/test.sh: /usr/bin/python3 lacks the module '$module' although scripts/deps.sh ran; install python3-$module" >&2
        exit 1
    fi
done

jobs=$(nproc)
# Tests never write into the user's own data directory.
export XDG_DATA_HOME="$PWD/build/test-data"
mkdir -p "$XDG_DATA_HOME"
failed=0
summaries=()

# isolated COMMAND...: runs it in a network namespace of its own, where port 48888 belongs to the
# tests alone: no program elsewhere on the machine holds it, and no client socket of another test
# is given it as its own port (it lies in the kernel's range for those, so it is reserved).
isolated() {
    if unshare -n true 2>/dev/null; then
        unshare -n sh -c 'ip link set lo up && sysctl -qw net.ipv4.ip_local_reserved_ports=48888 && exec "$@"' isolated "$@"
    else
        "$@"
    fi
}

# Wall and CPU seconds of each part, CPU counted over the processes this script has waited for.
clock_tick=$(getconf CLK_TCK)
cpu_seconds() {
    local stat
    read -r -a stat </proc/$$/stat
    echo $(( (stat[15] + stat[16]) / clock_tick ))
}
times=()
part_began=0 part_cpu=0
begin() { part_began=$(date +%s) part_cpu=$(cpu_seconds); }
took() {
    local wall=$(( $(date +%s) - part_began )) cpu=$(( $(cpu_seconds) - part_cpu ))
    echo "== $1 took $wall s (CPU $cpu s)"
    times+=("$1: $wall s, CPU $cpu s")
}

# suite NAME PRESET: configures, builds and tests one Linux build with the presets of
# CMakePresets.json (build/PRESET); what each builds and which tests it runs is said there.
suite() {
    begin
    suite_steps "$@"
    took "$1"
}
suite_steps() {
    local name=$1 preset=$2 dir=build/$2
    echo "== $name: configure and build in $dir (preset $preset)"
    mkdir -p "$dir"
    rm -f "$dir.ctest.log"
    if ! cmake --preset "$preset" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"; failed=1; summaries+=("$name: configure failed"); return
    fi
    if ! cmake --build --preset "$preset" -j "$jobs" >"$dir.build.log" 2>&1; then
        grep -E 'error|Error' "$dir.build.log" | head -40; failed=1; summaries+=("$name: build failed"); return
    fi
    echo "== $name: test"
    isolated ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$dir.ctest.log"
    [ "${PIPESTATUS[0]}" = 0 ] || failed=1
    summaries+=("$name: $(result_of "$dir.ctest.log" 'tests passed')")
}

# result_of LOG PATTERN [N]: the last N (1) lines of LOG matching PATTERN, the runners' own
# counts; where there is none the part did not run to its end, which fails the command and is
# said as such.
result_of() {
    local line
    line=$(grep -hE "$2" "$1" 2>/dev/null | tail -"${3:-1}" | paste -sd ';' -)
    if [ -z "$line" ]; then
        failed=1
        line="FAILED, no result (see $1)"
    fi
    echo "$line"
}

# checked NAME PASSED HINT COMMAND...: a part whose outcome is its command's status.
checked() {
    local name=$1 passed=$2 hint=$3
    shift 3
    begin
    if "$@"; then
        summaries+=("$name: $passed")
    else
        failed=1; summaries+=("$name: FAILED ($hint)")
    fi
    took "$name"
}

mkdir -p build
echo "== format: the sources against .clang-format"
checked format "as .clang-format says" "bash scripts/format.sh --fix" bash scripts/format.sh

suite native native
suite sanitizers asan
suite threads tsan

if [ -f scripts/windows-tests.sh ]; then
    begin
    echo "== windows: cross build and Wine tests"
    bash scripts/windows-tests.sh build/windows 2>&1 | tee build/windows.log
    [ "${PIPESTATUS[0]}" = 0 ] || failed=1
    summaries+=("windows: $(result_of build/windows.log 'Windows (tests|compile check)' 2)")
    took windows
fi

if [ -f tests/e2e/test_msi.py ]; then
    begin
    echo "== msi: the Windows packages installed, upgraded and removed under Wine (tests/e2e/test_msi.py)"
    /usr/bin/python3 -m pytest -q -rfEs tests/e2e/test_msi.py --windows-build build/windows 2>&1 | tee build/msi.log
    [ "${PIPESTATUS[0]}" = 0 ] || failed=1
    summaries+=("msi: $(result_of build/msi.log '^[0-9]+ [a-z]+.* in [0-9.]+s')")
    took msi
fi

echo "== fuzzing: libFuzzer harnesses for a bounded time (preset fuzz)"
checked fuzzing "no crash" "see build/fuzz" bash scripts/fuzz.sh

echo
echo "== summary"
printf '%s\n' "${summaries[@]}"
echo
echo "== time"
printf '%s\n' "${times[@]}"
echo
echo "== native suite, closing lines"
sed -n '/tests passed, /,$p' build/native.ctest.log 2>/dev/null
exit $failed

#!/usr/bin/env bash
# Builds and runs the whole test suite: natively, with AddressSanitizer and
# UndefinedBehaviorSanitizer, with ThreadSanitizer for the threaded parts, and the Windows
# build (cross-compiled, tested under Wine). Installs what it needs first (run as root).
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test || exit 1

# What the parts below call, checked once the packages are in: a missing one is named now rather
# than found as an empty result twenty minutes later.
needed=(cmake ctest g++ clang clang-format unshare flock ip ss sysctl iconv getconf timeout script socat python3 nc file
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

# Wall seconds of each part; CPU seconds only of the whole, as parts run beside each other.
times=()
part_began=0
began=$(date +%s)
begin() { part_began=$(date +%s); }
took() {
    local wall=$(( $(date +%s) - part_began ))
    echo "== $1 took $wall s"
    times+=("$1: $wall s")
}

# suite NAME PRESET: configures and builds one Linux build with the presets of CMakePresets.json
# (build/PRESET; what each builds and which tests it runs is said there), then starts its tests in
# the background: they wait on sockets, timers and child processes far more than they compute, so
# the next build runs beside them. One test run at a time, though: a suite's tests wait for the
# previous suite's and the Wine sessions for all of them (the lock), so that no timing a test
# checks meets more than one build beside it. Each suite has its own namespace, data folder and
# chip state. suites_done waits for them and gives each its closing lines.
export LAMP_TEST_LOCK=$PWD/build/tests.lock
pending=()
suite() {
    local name=$1 preset=$2 dir=build/$2
    begin
    echo "== $name: configure and build in $dir (preset $preset)"
    mkdir -p "$dir" "build/test-data/$preset"
    rm -f "$dir.ctest.log"
    summaries+=("$name: build failed")
    if ! cmake --preset "$preset" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"; failed=1; summaries[-1]="$name: configure failed"; took "$name build"; return
    fi
    if ! cmake --build --preset "$preset" -j "$jobs" >"$dir.build.log" 2>&1; then
        grep -E 'error|Error' "$dir.build.log" | head -40; failed=1; took "$name build"; return
    fi
    took "$name build"
    echo "== $name: test, beside what follows ($dir.ctest.log)"
    (
        exec 9>"$LAMP_TEST_LOCK"
        flock 9
        start=$(date +%s)
        XDG_DATA_HOME=$PWD/build/test-data/$preset LAMPSIM_STATE=$PWD/build/test-data/$preset/lampsim.state \
            isolated ctest --preset "$preset" -j "$jobs" >"$dir.ctest.log" 2>&1
        status=$?
        echo $(( $(date +%s) - start )) >"$dir.ctest.time"
        exit $status
    ) &
    pending+=("$name $dir $! $(( ${#summaries[@]} - 1 ))")
}
suites_done() {
    local entry name dir pid at
    for entry in "${pending[@]}"; do
        read -r name dir pid at <<<"$entry"
        echo "== $name: test ($dir.ctest.log)"
        if ! wait "$pid"; then
            failed=1
            # What ctest said of each test that failed, its output included.
            awk '/^ *Start +[0-9]+: |tests passed, /{show=0} /^ *[0-9]+\/[0-9]+ Test +#/{show=/\*\*\*/} show' "$dir.ctest.log"
        fi
        sed -n '/tests passed, /,$p' "$dir.ctest.log"
        summaries[$at]="$name: $(result_of "$dir.ctest.log" 'tests passed')"
        times+=("$name tests: $(cat "$dir.ctest.time" 2>/dev/null || echo '?') s, beside the rest")
    done
    pending=()
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
# The Windows libraries are made from Debian's sources while the Linux suites run: their
# downloads and configure scripts leave a core idle, and so do the Linux tests.
windows_deps=
if [ -f scripts/windows-tests.sh ]; then
    bash scripts/windows-tests.sh --deps-only build/windows >build/windows-deps.log 2>&1 &
    windows_deps=$!
fi

echo "== format: the sources against .clang-format"
checked format "as .clang-format says" "bash scripts/format.sh --fix" bash scripts/format.sh

suite native native
suite sanitizers asan
suite threads tsan

if [ -f scripts/windows-tests.sh ]; then
    begin
    echo "== windows: cross build and Wine tests"
    wait $windows_deps
    { cat build/windows-deps.log; bash scripts/windows-tests.sh build/windows; } 2>&1 | tee build/windows.log
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

suites_done

echo
echo "== summary"
printf '%s\n' "${summaries[@]}"
echo
echo "== time"
printf '%s\n' "${times[@]}"
# Wall time since the packages were in; CPU of every process the script started, packages included.
read -r -a stat </proc/$$/stat
echo "in all: $(( $(date +%s) - began )) s, CPU $(( (stat[15] + stat[16]) / $(getconf CLK_TCK) )) s"
exit $failed

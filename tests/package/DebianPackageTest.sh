#!/usr/bin/env bash
# Builds the Debian package, checks its control fields and contents, installs and removes it in
# a scratch tree, and runs the extracted service against the simulated chip.
# Usage: DebianPackageTest.sh BUILD_DIR SANITIZED(0|1)
set -uo pipefail
build=$1
sanitized=${2:-0}
scratch=$(mktemp -d /tmp/packagetest.XXXXXX)
service_pid=
cleanup() {
    [ -n "$service_pid" ] && kill -KILL "$service_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
fatal() { echo "FAILED: $*"; exit 1; }

unit=norvik-tessaro-light-velk77.service

# The package, built the way a release is: cpack from the build's own configuration.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fatal "cpack"; }
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fatal "exactly one .deb expected: ${debs[*]}"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
check "package name" test "$(field Package)" = norvik-light
check "version" test -n "$(field Version)"
check "architecture" test "$(field Architecture)" = "$(dpkg --print-architecture)"
for dependency in liblog4cpp5v5 libjsoncpp25 zlib1g libsystemd0; do
    check "depends on $dependency" grep -qw "$dependency" <<<"$(field Depends)"
done

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$scratch/files"
expected="/usr/bin/lampview
/usr/bin/lightctl
/usr/bin/lightservice
/usr/lib/lightservice/libBrillLamp.so
/usr/lib/lightservice/libWinRing0.so
/usr/lib/systemd/system/$unit
/usr/share/doc/norvik-light/README.md
/usr/share/doc/norvik-light/docs/driver.md
/usr/share/doc/norvik-light/docs/linux.md
/usr/share/doc/norvik-light/docs/protocol.md"
check "file list" diff <(sort <<<"$expected") "$scratch/files"
dpkg-deb -e "$deb" "$scratch/control"
for script in postinst prerm postrm; do
    check "$script is executable" test -x "$scratch/control/$script"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root" || fatal "extract"
module=$root/usr/lib/lightservice/libWinRing0.so
# The simulated chip module reads its state file from LAMPSIM_STATE; the hardware one does not.
check "port-access module is the hardware one" bash -c "! grep -q LAMPSIM_STATE '$module'"
check "simulated module is built but not shipped" grep -q LAMPSIM_STATE "$build/bin/libWinRing0.so"
check "lightservice finds its private libraries" \
    grep -q 'RUNPATH.*\[\$ORIGIN/\.\./lib/lightservice\]' <(readelf -d "$root/usr/bin/lightservice")
check "the driver finds the module beside it" \
    grep -q 'RUNPATH.*\[\$ORIGIN\]' <(readelf -d "$root/usr/lib/lightservice/libBrillLamp.so")
# empty_runpaths DIR: programs and libraries below DIR with an empty RUNPATH entry, which the
# loader takes for the current directory.
empty_runpaths() {
    local file paths
    while IFS= read -r -d '' file; do
        while IFS= read -r paths; do
            case ":$paths:" in *::*) echo "$file: [$paths]" ;; esac
        done < <(readelf -d "$file" 2>/dev/null | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p')
    done < <(find "$1" -type f \( -name '*.so' -o -name '*.so.*' -o -perm -u+x \) -not -path '*/CMakeFiles/*' -print0)
}
for tree in build package; do
    [ $tree = build ] && offenders=$(empty_runpaths "$build") || offenders=$(empty_runpaths "$root")
    check "nothing of the $tree looks for libraries in the current directory" test -z "$offenders"
    [ -z "$offenders" ] || echo "$offenders"
done
check "unit starts the installed program" grep -qx 'ExecStart="/usr/bin/lightservice"' "$root/usr/lib/systemd/system/$unit"
if command -v systemd-analyze >/dev/null; then
    # systemd checks that ExecStart exists: point it at the extracted program.
    mkdir -p "$scratch/verify"
    sed "s|^ExecStart=\"/usr|ExecStart=\"$root/usr|" "$root/usr/lib/systemd/system/$unit" >"$scratch/verify/$unit"
    check "systemd accepts the unit" systemd-analyze verify "$scratch/verify/$unit"
fi

if [ "$(id -u)" != 0 ]; then
    echo "skipped: the rest needs root (lightservice checks for it)"
    [ $failures = 0 ] && exit 77 || exit 1
fi

# The unit the package ships is the one `lightservice install` writes, but for the program path.
mkdir -p "$scratch/units"
LIGHTSERVICE_UNIT_DIR=$scratch/units LIGHTSERVICE_SYSTEMCTL=/bin/true "$root/usr/bin/lightservice" install \
    >"$scratch/install.out" 2>&1
check "lightservice install writes a unit" test -f "$scratch/units/$unit"
check "shipped unit equals the installed one" diff <(grep -v '^ExecStart=' "$root/usr/lib/systemd/system/$unit") \
    <(grep -v '^ExecStart=' "$scratch/units/$unit")

# Installed and removed by dpkg in a scratch tree of its own.
admin=$scratch/dpkg
mkdir -p "$admin/updates" "$admin/info" "$scratch/inst"
touch "$admin/status" "$admin/available"
dpkg_scratch() {
    dpkg --admindir="$admin" --instdir="$scratch/inst" --force-not-root --force-depends \
        --force-script-chrootless --log=/dev/null "$@" >>"$scratch/dpkg.log" 2>&1
}
check "dpkg installs it" dpkg_scratch -i "$deb"
check "installed files present" test -x "$scratch/inst/usr/bin/lightservice" -a -f "$scratch/inst/usr/lib/systemd/system/$unit"
check "dpkg removes it" dpkg_scratch --purge norvik-light
check "nothing left behind" test -z "$(find "$scratch/inst" -type f)"
[ $failures = 0 ] || cat "$scratch/dpkg.log"

# The extracted service with the simulated chip module placed beside the driver, as a developer
# would do on a machine without the lamp.
cp "$build/bin/libWinRing0.so" "$module"
export LAMPSIM_STATE=$scratch/chip.state XDG_DATA_HOME=$scratch/data
if [ "$sanitized" = 1 ]; then
    # A sanitizer runtime interposes dlopen, which then ignores the program's RUNPATH.
    export LD_LIBRARY_PATH=$root/usr/lib/lightservice
fi
lightctl=$root/usr/bin/lightctl
# start_service: runs the extracted service until it answers. Another program's connection may
# hold the port for a while (TIME_WAIT): it tries again then.
start_service() {
    local attempt wait
    for attempt in $(seq 1 35); do
        : >"$scratch/service.out"
        "$root/usr/bin/lightservice" run >>"$scratch/service.out" 2>&1 &
        service_pid=$!
        for wait in $(seq 1 50); do
            if grep -q "Can't listen" "$scratch/service.out"; then break; fi
            # The answer must come from this service, not from another one on the port.
            if "$lightctl" --timeout 1 off >/dev/null 2>&1 || [ $? = 1 ]; then
                grep -q '^Client data ' "$scratch/service.out" && return 0
            fi
            kill -0 "$service_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$service_pid" 2>/dev/null
        wait "$service_pid" 2>/dev/null
        service_pid=
        grep -q "Can't listen" "$scratch/service.out" || break
        sleep 2
    done
    cat "$scratch/service.out"
    fatal "the extracted service did not answer"
}

# stop_service: SIGINT, as Ctrl+C in the console.
stop_service() {
    local wait
    kill -INT "$service_pid"
    for wait in $(seq 1 50); do
        kill -0 "$service_pid" 2>/dev/null || break
        sleep 0.1
    done
    check "service ends on SIGINT" bash -c "! kill -0 $service_pid 2>/dev/null"
    wait "$service_pid" 2>/dev/null
    service_pid=
}

start_service
"$lightctl" red blue >"$scratch/lightctl.out" 2>&1
check "lightctl red blue succeeds" test $? = 0
check "lamp shows red and blue" test "$("$root/usr/bin/lampview" --plain)" = "red=on green=off blue=on"
"$lightctl" GREEN >/dev/null 2>&1
check "lamp shows green only" test "$("$root/usr/bin/lampview" --plain)" = "red=off green=on blue=off"
"$lightctl" --json '[true]' >"$scratch/lightctl.out" 2>&1
check "a request that is no object exits 1" test $? = 1
check "its log text is printed" grep -qx "Json doesn't contain an object" "$scratch/lightctl.out"

stop_service
check "service wrote its start line" grep -q "Light Velk77 service has started on the port 48888" "$scratch/service.out"

[ $failures = 0 ] || cat "$scratch/service.out"

# Without its driver library the service answers every request with the loader's failure.
rm "$root/usr/lib/lightservice/libBrillLamp.so"
start_service
before=$("$root/usr/bin/lampview" --plain)
"$lightctl" red >"$scratch/lightctl.out" 2>&1
check "lightctl exits 1 when the lamp is not ready" test $? = 1
check "the service's failure text is printed" grep -q "libBrillLamp.so" "$scratch/lightctl.out"
check "no lamp was switched" test "$("$root/usr/bin/lampview" --plain)" = "$before"
stop_service

[ $failures = 0 ] || { cat "$scratch/service.out" "$scratch/lightctl.out"; exit 1; }
echo "all package checks passed"

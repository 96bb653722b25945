#!/usr/bin/env bash
# The Windows build: cross-compiles the tree with mingw-w64 and runs it under Wine. i686 is the
# kiosk's build, linked whole (lightservice.exe, BrillLamp.dll) against jsoncpp, log4cpp and
# GoogleTest built from Debian's sources by scripts/windows-deps.sh (cached under the build
# directory), with its test programs where Wine can run it; x86_64 is a compile check of every
# Windows source, or, where the kernel runs no 32-bit programs, the linked build Wine runs
# instead (the i686 tree then holds what the kiosk gets, its images checked from Linux). Under
# Wine, each session in a network namespace and a Wine prefix of its own: the test programs (run
# by ctest), the console run and key test, the service cycle, and what kiosks in the field meet.
# Usage: bash scripts/windows-tests.sh [BUILD_DIR [ctest ARGS...]]   (default build/windows)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-build/windows}"
out=$(cd "${1:-build/windows}" && pwd)
[ $# -gt 0 ] && shift
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
began=$(date +%s)

say() { echo "== windows: $*"; }

# configure ARCH [ARGS...]: the build tree of one architecture.
configure() {
    local dir=$out/$1 toolchain=$root/cmake/toolchain-mingw.cmake fresh=()
    mkdir -p "$dir"
    # A tree once configured with another toolchain file cannot change to this one in place.
    compgen -G "$dir/CMakeFiles/*/CMakeSystem.cmake" >/dev/null &&
        ! grep -qxF "include(\"$toolchain\")" "$dir"/CMakeFiles/*/CMakeSystem.cmake && fresh=(--fresh)
    # Line tables only: nothing here reads more of the DWARF, and the packages strip it.
    cmake "${fresh[@]}" -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLAMP_MINGW_ARCH="$1" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${@:2}" >"$dir.configure.log" 2>&1 || {
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

# Wine runs the build of the architecture this machine executes: i686, the kiosk's, when the
# kernel runs 32-bit programs (Wine's 32-bit loader needs that), otherwise x86_64, which is then
# linked the same way.
wine_arch=$(/usr/bin/python3 "$root/tests/e2e/e2e.py")
linked=(i686)
[ $wine_arch = x86_64 ] && linked+=(x86_64)

# configure_linked ARCH: the whole program, against the libraries built for ARCH; its test
# programs only where Wine runs them.
configure_linked() {
    local deps=$out/deps-$1 tests=OFF
    [ "$1" = $wine_arch ] && tests=ON
    configure "$1" -DLAMP_WINDOWS_COMPILE_ONLY=OFF -DLAMP_BUILD_TESTS:BOOL=$tests -Djsoncpp_DIR="$deps/lib/cmake/jsoncpp" \
        -DGTest_DIR="$deps/lib/cmake/GTest" -DLOG4CPP_INCLUDE_DIR="$deps/include" \
        -DLOG4CPP_LIBRARY="$deps/lib/liblog4cpp.a" -DUTF8CPP_INCLUDE_DIR=/usr/include/utf8cpp \
        -DZLIB_INCLUDE_DIR=/usr/$1-w64-mingw32/include -DZLIB_LIBRARY_RELEASE=/usr/$1-w64-mingw32/lib/libz.a
}

for arch in "${linked[@]}"; do
    say "jsoncpp, log4cpp and GoogleTest for mingw $arch from Debian's sources ($out/deps-$arch)"
    if ! bash "$root/scripts/windows-deps.sh" "$out/deps-$arch" $arch; then
        echo "Windows tests: not run, the libraries could not be built from Debian's sources"
        exit 1
    fi
done
say "configure the i686 and x86_64 cross builds (linked: ${linked[*]})"
for arch in i686 x86_64; do
    if [[ " ${linked[*]} " == *" $arch "* ]]; then
        configure_linked $arch
    else
        configure $arch -DLAMP_WINDOWS_COMPILE_ONLY=ON
    fi || { echo "Windows tests: not run, the $arch cross build could not be configured"; exit 1; }
done
if [ $wine_arch != i686 ]; then
    say "build what the kiosk gets (i686): lightservice.exe, BrillLamp.dll, the tools, the packages"
    if ! build i686; then
        echo "Windows tests: not run, the i686 program did not build"
        exit 1
    fi
fi
say "build lightservice.exe, the driver, the port-access modules and the tests ($wine_arch)"
if ! build $wine_arch winetest; then
    echo "Windows tests: not run, the $wine_arch program or its tests did not build"
    exit 1
fi
# What the kiosk gets imports system libraries only, whether or not Wine can run it here; its
# driver exports exactly the undecorated names of BrillLamp.def.
image_failed=
# dlls IMAGE: the libraries IMAGE imports, upper case, sorted.
dlls() { i686-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p' | tr 'a-z' 'A-Z' | sort | paste -sd ' ' -; }
image_is() { # image_is WHAT ACTUAL EXPECTED
    if [ "$2" = "$3" ]; then
        say "i686 $1: ${2:-none}"
    else
        echo "FAILED: i686 $1: $2 (expected: $3)"
        image_failed=1
    fi
}
image_is "lightservice.exe imports" "$(dlls "$out/i686/bin/lightservice.exe")" \
    "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL WS2_32.DLL"
lamp_dll=$out/i686/bin/BrillLamp.dll
image_is "BrillLamp.dll format" "$(i686-w64-mingw32-objdump -f "$lamp_dll" | sed -n 's/.*file format //p')" pei-i386
lamp_imports=$(dlls "$lamp_dll")
image_is "BrillLamp.dll imports ($lamp_imports) beyond KERNEL32, ADVAPI32 and MSVCRT" \
    "$(tr ' ' '\n' <<<"$lamp_imports" | grep -vxE 'KERNEL32.DLL|ADVAPI32.DLL|MSVCRT.DLL' | paste -sd ' ' -)" ""
image_is "BrillLamp.dll exports" \
    "$(i686-w64-mingw32-objdump -p "$lamp_dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' | sort | paste -sd ' ' -)" \
    "$(sed -n '/^EXPORTS/,$s/^ \+\([A-Za-z]\+\)$/\1/p' "$root/lampdriver/BrillLamp.def" | sort | paste -sd ' ' -)"
# Each image names the product and the packages' version (read with python3-pefile).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/i686/CMakeCache.txt")
for image in lightservice.exe BrillLamp.dll WinRing0.dll lightctl.exe lampview.exe; do
    image_is "$image version resource" "$(/usr/bin/python3 "$root/tests/support/pe_version.py" "$out/i686/bin/$image" 2>&1 |
        sed -E 's/ FileDescription=[^=]+ OriginalFilename=/ FileDescription=... OriginalFilename=/')" \
        "$image: fixed=$version.0 ProductName=NORVIK Tessaro Light ProductVersion=$version FileVersion=$version FileDescription=... OriginalFilename=$image CompanyName=NORVIK"
done
# Every Windows source, lightservice's included, must compile for both architectures.
# uncompiled ARCH: sources of the system meant for Windows that left no object in ARCH's tree
# (the test programs' only where the tree builds them).
uncompiled() {
    local src objects folders=(lampdriver portaccess utils ports light service tools)
    objects=$(find "$out/$1" -name '*.obj' -printf '%f\n' | sort -u)
    grep -qxE "LAMP_BUILD_TESTS:[A-Z]+=ON" "$out/$1/CMakeCache.txt" && folders+=(tests/windows bench/windows)
    (cd "$root" && find "${folders[@]}" -name '*.cpp') |
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
if [ ${#broken[@]} = 0 ] && [ -z "$image_failed" ]; then
    compiled="Windows compile check (i686, x86_64; linked: ${linked[*]}): passed"
else
    compiled="Windows compile check: FAILED for ${broken[*]:-the i686 images} (see $out/<arch>.build.log)"
fi

if ! command -v wine >/dev/null 2>&1; then
    echo "$compiled"
    echo "Windows tests: not run, Wine is not installed here (cross build checked only)"
    [[ $compiled == *FAILED* ]] && exit 1
    exit 0
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINE_ARCH=$wine_arch WINE=wine
if [ $wine_arch = x86_64 ]; then
    # Debian's wine command always starts the 32-bit loader when it is installed.
    export WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
    say "this kernel does not run 32-bit programs: Wine runs the x86_64 build"
fi
# The base prefix, made once (about 10 s) in a namespace of its own; each session copies it.
if [ ! -f "$out/wineprefix/system.reg" ]; then
    say "create the Wine prefix $out/wineprefix"
    # The registry files appear once the server has ended.
    WINEPREFIX=$out/wineprefix unshare -n sh -c 'timeout 120 "$WINE" wineboot -i; timeout 60 wineserver -w' \
        >"$out/wineboot.log" 2>&1
    if [ ! -f "$out/wineprefix/system.reg" ]; then
        cat "$out/wineboot.log"
        echo "Windows tests: 0 passed, 1 failed (Wine could not create its prefix)"
        exit 1
    fi
fi
if [ ! -x "${LAMPVIEW:-$root/build/native/bin/lampview}" ]; then
    say "build the Linux lampview that reads the Windows chip's state file"
    cmake -S "$root" -B "$out/native-tools" -DLAMP_BUILD_TESTS=OFF >/dev/null 2>&1 &&
        cmake --build "$out/native-tools" -j "$jobs" --target lampview >/dev/null 2>&1
    export LAMPVIEW=$out/native-tools/bin/lampview
fi

status=0
# The test programs: ctest in the Windows tree runs each case in a process of its own, in a
# session of its own per program; its count line is the program's.
programs() { # programs LABEL TITLE [CTEST ARGS...]
    local start=$(date +%s) counts
    say "Wine session: $2 (ctest -L $1)"
    unshare -n bash "$root/tests/windows/wine-session.sh" "$out/wineprefix" "$out/run-$1" \
        ctest --test-dir "$out/$wine_arch" -L "^$1\$" --output-on-failure "${@:3}" 2>&1 | tr -d '\r' | tee "$out/session-$1.log"
    [ "${PIPESTATUS[0]}" = 0 ] || status=1
    counts=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$out/session-$1.log" | tail -1)
    echo "$2: ${counts:-did not run}" | tee -a "$out/session-$1.log"
    say "$1 took $(( $(date +%s) - start )) s"
}
programs lamptests "Lamp tests" "$@"
programs windows_tests "Windows class tests" "$@"
# The end-to-end sessions are pytest modules; pytest's closing line is each one's count.
checks=()
for name in console service field; do
    say "Wine session: $name (tests/e2e/test_windows_$name.py)"
    /usr/bin/python3 -m pytest -q -rfEs "$root/tests/e2e/test_windows_$name.py" --windows-build "$out" 2>&1 |
        tee "$out/session-$name.log"
    [ "${PIPESTATUS[0]}" = 0 ] || status=1
    line=$(grep -E '^[0-9]+ [a-z]+.* in [0-9.]+s' "$out/session-$name.log" | tail -1)
    checks+=("$name: ${line:-did not run}")
done

tests=$(grep -hE '^(Lamp tests|Windows class tests): ' "$out/session-lamptests.log" "$out/session-windows_tests.log" | paste -sd ';' -)
checks=$(printf '%s\n' "${checks[@]}" | paste -sd ';' -)
echo "$compiled"
echo "Windows tests: ${tests:-did not run}; end to end: ${checks:-did not run} ($(( $(date +%s) - began )) s in all)"
[[ $compiled == *FAILED* ]] && exit 1
exit $status

#!/usr/bin/env bash
# The Windows packages under Wine, in a Wine prefix and a network namespace of their own (the
# installed service listens on 127.0.0.1:48888): their tables, signatures (made with a throwaway
# certificate) and version resources, install, the service's registration and event source, the
# lamp switched with lightctl.exe and read with lampview.exe through the simulated chip package,
# an upgrade from a package of a lower version, a failing upgrade, repair and removal by the
# lines of docs/windows-kiosk.md, which the package ships as its README.txt.
# Wine runs the build of the architecture this machine executes, as in scripts/windows-tests.sh
# (run it first, it links the tree): the kiosk's 32-bit packages from BUILD_DIR/i686, or, where
# the kernel runs no 32-bit program, the same packages made for x86_64 in BUILD_DIR/x86_64.
# Usage: bash scripts/msi-tests.sh [BUILD_DIR]   (default build/windows)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-build/windows}"
out=$(cd "${1:-build/windows}" && pwd)
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2

if [ "${MSI_TESTS_TREE:-}" = "" ]; then
    if ! command -v wine >/dev/null 2>&1 || ! command -v wixl >/dev/null 2>&1; then
        echo "MSI tests: not run, wine or wixl is not installed here"
        exit 0
    fi
    for tool in osslsigncode openssl msiinfo; do
        command -v $tool >/dev/null 2>&1 || { echo "MSI tests: not run, $tool is not installed here"; exit 1; }
    done
    /usr/bin/python3 -c 'import pefile' 2>/dev/null ||
        { echo "MSI tests: not run, python3-pefile is not installed here"; exit 1; }
    # Wine runs a 32-bit program through its 32-bit loader, itself a 32-bit Linux program.
    arch=i686
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1 || arch=x86_64
    tree=$out/$arch
    [ $arch = x86_64 ] && echo "== msi: this kernel runs no 32-bit program: the packages are tested as x86_64 builds"
    if [ ! -f "$tree/bin/lightservice.exe" ]; then
        echo "MSI tests: not run, $tree holds no linked lightservice.exe (run scripts/windows-tests.sh first)"
        exit 1
    fi
    # The packages are signed as a release is, with a certificate of the test's own.
    signing=$tree.signing
    rm -rf "$signing"
    mkdir -p "$signing"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$signing/key.pem" -out "$signing/cert.pem" -days 2 \
        -subj "/CN=NORVIK throwaway test signing" -addext extendedKeyUsage=codeSigning \
        -addext keyUsage=digitalSignature >"$signing/openssl.log" 2>&1 &&
        openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" -out "$signing/cert.p12" \
            -passout pass:throwaway >>"$signing/openssl.log" 2>&1 ||
        { cat "$signing/openssl.log"; echo "MSI tests: not run, no test certificate"; exit 1; }
    echo "== msi: build the packages in $tree, signed with a throwaway certificate"
    LAMP_SIGN_PKCS12=$signing/cert.p12 LAMP_SIGN_PASSWORD=throwaway LAMP_SIGN_TIMESTAMP_URL= LAMP_SIGN_CAFILE= \
    cmake --build "$tree" -j "$jobs" --target msi msi_test_packages >"$tree.msi.log" 2>&1 || {
        grep -E 'error|Error' "$tree.msi.log" | head -20
        echo "MSI tests: not run, the packages did not build ($tree.msi.log)"
        exit 1
    }
    # Wine's sockets belong to its server, so the server must start inside the namespace.
    exec unshare -n env MSI_TESTS_TREE="$tree" MSI_TESTS_ARCH="$arch" MSI_TESTS_CERT="$signing/cert.pem" \
        bash "$0" "$out"
fi
tree=$MSI_TESTS_TREE
if [ "$MSI_TESTS_ARCH" = i686 ]; then
    wine=wine
else
    # Debian's wine script insists on the 32-bit loader whenever it is installed.
    wine=/usr/lib/wine/wine64
    export WINELOADER=$wine
fi
ip link set lo up

say() { echo "== msi: $*"; }
passed=0 failed=0
check() { # check WHAT COMMAND...: one named check
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
    fi
}
finish() {
    echo "MSI tests: $passed passed, $failed failed${1:+ ($1)}"
    [ "$failed" = 0 ] && [ -z "${1:-}" ]
    exit $?
}

service=norvik-tessaro-light-velk77
service_key="HKLM\\System\\CurrentControlSet\\Services\\$service"
packages=$tree/msi
kiosk=$(ls "$packages"/norvik-light-[0-9]*.msi 2>/dev/null | head -1)
trial=$(ls "$packages"/norvik-light-trial-simulated-chip-*.msi 2>/dev/null | head -1)
previous=$(ls "$packages"/test/norvik-light-[0-9]*.msi 2>/dev/null | grep -Ev 'rebuilt|failing' | head -1)
rebuilt=$(ls "$packages"/test/norvik-light-*-rebuilt.msi 2>/dev/null | head -1)
failing=$(ls "$packages"/test/norvik-light-*-failing.msi 2>/dev/null | head -1)
if [ -z "$kiosk" ] || [ -z "$trial" ] || [ -z "$previous" ] || [ -z "$rebuilt" ] || [ -z "$failing" ]; then
    failed=1
    finish "no packages in $packages"
fi
version=$(basename "$kiosk" | sed -E 's/^norvik-light-([0-9.]+)-.*/\1/')
lower=$(basename "$previous" | sed -E 's/^norvik-light-([0-9.]+)-.*/\1/')

work=$tree/msi-test
rm -rf "$work"
mkdir -p "$work"

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
trap cleanup EXIT
start=$(date +%s)
if [ -f "$out/wineprefix/system.reg" ]; then
    # The base prefix of scripts/windows-tests.sh, never used itself.
    cp -a "$out/wineprefix" "$WINEPREFIX"
else
    say "create the Wine prefix $WINEPREFIX"
    # Everything wineboot started has ended once the server has.
    timeout 120 $wine wineboot -i >"$work/wineboot.log" 2>&1 && timeout 60 wineserver -w ||
        { cat "$work/wineboot.log"; failed=1; finish "no Wine prefix"; }
fi
# Installed services live as long as the Wine server does.
wineserver -p

win() { echo "Z:${1//\//\\}"; }
msiexec() { # msiexec ACTION PACKAGE [PROPERTY=VALUE...]: the exit status of a silent run
    local action=$1 package=$2
    shift 2
    timeout 120 $wine msiexec "$action" "$(win "$package")" /qn /l*v "$(win "$work/$(basename "$package")${action/\//.}.log")" "$@" \
        </dev/null >/dev/null 2>&1
}
folder=$($wine winepath -u 'C:\Program Files (x86)\NORVIK Tessaro Light' 2>/dev/null)
[ -n "$folder" ] || folder=$WINEPREFIX/drive_c/Program\ Files\ \(x86\)/NORVIK\ Tessaro\ Light
lightctl() { # lightctl ARGS...: sets out, err, status
    out=$(timeout 30 $wine "$folder/lightctl.exe" "$@" 2>"$work/lightctl.err" </dev/null | tr -d '\r')
    status=${PIPESTATUS[0]}
    err=$(tr -d '\r' <"$work/lightctl.err")
}
lampview() { timeout 30 $wine "$folder/lampview.exe" --plain </dev/null 2>&1 | tr -d '\r'; }
answers() { # answers EXPECTED-STATUS EXPECTED-OUT ARGS...
    local want_status=$1 want_out=$2
    shift 2
    lightctl "$@"
    [ "$status" = "$want_status" ] && [ "$out" = "$want_out" ] ||
        { echo "lightctl $*: status $status, out '$out', err '$err'"; return 1; }
}
lamp_is() {
    local seen
    seen=$(lampview)
    [ "$seen" = "$1" ] || { echo "lampview: '$seen', expected '$1'"; return 1; }
}
# The service's key as `reg export` writes it (UTF-16, so the Cyrillic description survives).
service_values() {
    rm -f "$work/service.reg"
    $wine reg export "$service_key" "$(win "$work/service.reg")" /y >/dev/null 2>&1 &&
        iconv -f UTF-16 -t UTF-8 "$work/service.reg" | tr -d '\r' | grep '^"' | grep -v PreshutdownTimeout |
        sed 's/\\"//g' # Windows quotes a program path with spaces, Wine 8 does not
}
expected_values() {
    cat <<EOV
"Description"="Служба NORVIK Tessaro Light Velk77 предназначена для взаимодействия с устройством по нижнему уровня с правами администратора"
"DisplayName"="NORVIK Tessaro Light Velk77"
"ErrorControl"=dword:00000001
"ImagePath"="$1"
"ObjectName"="LocalSystem"
"Start"=dword:00000002
"Type"=dword:00000010
EOV
    # The service manager marks a 32-bit service on 64-bit Windows, and Wine does the same.
    [ "$MSI_TESTS_ARCH" = i686 ] && echo '"WOW64"=dword:00000001'
    return 0
}
registered() {
    local seen
    seen=$(service_values)
    [ "$seen" = "$(expected_values 'C:\\Program Files (x86)\\NORVIK Tessaro Light\\lightservice.exe')" ] ||
        { echo "service key:"; echo "$seen"; return 1; }
}
unregistered() { ! $wine reg query "$service_key" >/dev/null 2>&1; }
listening() { ss -Hltn 'sport = :48888' | grep -q 48888; }
products() { # the installed products named NORVIK Tessaro Light, one version a line
    local key
    for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
               'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
        $wine reg query "$key" /s 2>/dev/null | tr -d '\r'
    done | awk '/^HKEY/ {name = ""} /DisplayName +REG_SZ +NORVIK Tessaro Light$/ {name = 1}
                name && /DisplayVersion/ {print $3; name = ""}' | sort -u
}
only_product() { local seen; seen=$(products); [ "$seen" = "$1" ] || { echo "products: '$seen'"; return 1; }; }
listens_again() { local i; for i in $(seq 50); do listening && return 0; sleep 0.2; done; return 1; }

# The packages' tables, read from Linux.
rows() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; } # rows PACKAGE TABLE
property() { rows "$1" Property | awk -F'\t' -v p="$2" '$1 == p {print $2}'; }
after() { # after PACKAGE ACTION: the action the installer runs next
    rows "$1" InstallExecuteSequence | sort -t$'\t' -k3n | cut -f1 | grep -A1 -xF "$2" | tail -n +2
}
is() { [ "$2" = "$3" ] || { echo "$1: '$2', expected '$3'"; return 1; }; } # is WHAT ACTUAL EXPECTED
# signed FILE...: each carries a signature that verifies against the throwaway certificate alone.
signed() {
    local file
    for file in "$@"; do
        osslsigncode verify -in "$file" -CAfile "$MSI_TESTS_CERT" >"$work/verify.log" 2>&1 &&
            grep -q 'Subject: /CN=NORVIK throwaway test signing' "$work/verify.log" ||
            { echo "no good signature: $file"; tail -5 "$work/verify.log"; return 1; }
    done
}
# versioned FILE...: each names the package's product and version in its version resource.
versioned() {
    local product=$(property "$kiosk" ProductName) version=$(property "$kiosk" ProductVersion) file seen want
    for file in "$@"; do
        seen=$(/usr/bin/python3 "$root/tests/support/pe_version.py" "$file")
        want="$(basename "$file"): fixed=$version.0 ProductName=$product ProductVersion=$version FileVersion=$version"
        [[ $seen == "$want FileDescription="[A-Z]*" OriginalFilename=$(basename "$file") CompanyName=NORVIK" ]] ||
            { echo "version resource: '$seen'"; return 1; }
    done
}
event_source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\'$service
event_source() { # the event source's values, one "NAME TYPE DATA" a line
    $wine reg query "$event_source_key" 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}\([^ ].*\)/\1/p' |
        sed -E 's/ {4}/ /g'
}
event_source_registered() {
    is "event source" "$(event_source)" "EventMessageFile REG_EXPAND_SZ C:\\Program Files (x86)\\NORVIK Tessaro Light\\lightservice.exe
TypesSupported REG_DWORD 0x7"
}
# readme_line WORD: the line of docs/windows-kiosk.md that runs `msiexec WORD` for whatever build
# is installed, as a batch file's line. wixl marks no component 64-bit: the x64 test package, too,
# writes the 32-bit view.
readme_line() { grep -m1 -E "^for /f .*do msiexec $1 " "$root/docs/windows-kiosk.md" | sed 's/%p/%%p/g'; }
run_batch() { # run_batch NAME LINE: the line run by Wine's cmd as a batch file
    printf '@echo off\r\n%s\r\n' "$2" >"$work/$1.bat"
    timeout 120 $wine cmd /c "$(win "$work/$1.bat")" </dev/null >"$work/$1.out" 2>&1
}

say "the packages' tables, signatures and version resources"
check "the old version is removed inside the transaction, before anything is written" \
    is "after InstallInitialize" "$(after "$kiosk" InstallInitialize)" RemoveExistingProducts
check "failure actions configured between installing and starting the service" \
    is "after InstallServices" "$(after "$kiosk" InstallServices)$(after "$kiosk" MsiConfigureServices)" \
    MsiConfigureServicesStartServices
check "failure actions: restart after 5 s, 5 s, 60 s, reset after a day" \
    is "MsiServiceConfigFailureActions" "$(rows "$kiosk" MsiServiceConfigFailureActions)" \
    "LightServiceRecovery	$service	1	86400			1[~]1[~]1	5000[~]5000[~]60000	Service"
check "Windows 7 or later" eval 'rows "$kiosk" LaunchCondition | grep -qx "Installed OR VersionNT >= 601	.*Windows 7 or later."'
check "every program, library and package signed" signed "$packages"/kiosk/*.exe "$packages"/kiosk/*.dll \
    "$packages"/trial/WinRing0.dll "$packages"/*.msi "$packages"/test/*.msi
# One byte of the signed program changed.
cp "$packages/kiosk/lightservice.exe" "$work/tampered.exe"
middle=$(( $(stat -c %s "$work/tampered.exe") / 2 ))
byte=$(od -An -tu1 -j $middle -N1 "$work/tampered.exe" | tr -d ' ')
printf "\\$(printf %o $(( (byte + 1) % 256 )))" | dd of="$work/tampered.exe" bs=1 seek=$middle conv=notrunc 2>/dev/null
check "a changed program fails verification" eval '! signed "$work/tampered.exe" >/dev/null'

say "refused on Windows Vista"
$wine winecfg -v vista >/dev/null 2>&1
check "Wine reports Windows Vista" eval '$wine cmd /c ver | grep -q "Windows 6\.0\."'
check "install refused" eval '! msiexec /i "$kiosk"'
# The log is UTF-16 on Windows, 8-bit text in Wine; success is 1.
check "refused by its launch conditions" grep -Eq "LaunchConditions\. Return value [^1]" \
    <(tr -d '\000' <"$work/$(basename "$kiosk").i.log")
check "nothing installed" only_product ""
$wine winecfg -v win10 >/dev/null 2>&1
check "Windows 10 again" eval '$wine cmd /c ver | grep -q "Windows 10\."'

say "the simulated chip alone is refused"
check "trial package refused without the service" eval '! msiexec /i "$trial"'

say "install version $lower"
check "install $lower" msiexec /i "$previous"
check "service registered with its settings" registered
check "one product, version $lower" only_product "$lower"
check "event source registered" event_source_registered
check "installed files signed" signed "$folder"/*.exe "$folder"/*.dll
# Without a port-access module the service runs and says why the lamp is not there.
check "answers without a lamp" answers 1 "Не удалось выполнить инициализацию устройства" red

say "add the simulated chip"
check "install the trial package" msiexec /i "$trial"
check "red switched" answers 0 "" red
check "lampview reads red" lamp_is "red=on green=off blue=off"
check "version resources name the product and version" versioned "$folder"/*.exe "$folder"/*.dll

say "upgrade to version $version"
check "upgrade to $version" msiexec /i "$kiosk"
check "one product, version $version" only_product "$version"
check "service registered after the upgrade" registered
# A new service process initialised the lamp again: all colours off.
check "lamp initialised again" lamp_is "red=off green=off blue=off"
check "green and blue switched" answers 0 "" green BLUE
check "lampview reads green and blue" lamp_is "red=off green=on blue=on"

say "the same version built again"
# Each build of a package is a product of its own: it must replace the installed one.
check "install the rebuilt $version" msiexec /i "$rebuilt"
check "still one product, version $version" only_product "$version"
check "service registered after the reinstall" registered
check "service answers after the reinstall" answers 0 "" green blue

say "a failing upgrade: the new service dies at start"
failing_version=$(basename "$failing" | sed -E 's/^norvik-light-([0-9.]+)-.*/\1/')
check "the failing upgrade ends in failure" eval '! msiexec /i "$failing"'
check "the failed version is not left installed" eval '! products | grep -qxF "$failing_version"'
# Windows Installer rolls the removal of the installed version back with the rest of the run (it
# runs inside the transaction); Wine 8 runs that removal as an installation of its own, which its
# rollback does not undo, so here the old version is gone too.
say "Wine left: products '$(products | paste -sd ' ' -)', service $(registered >/dev/null && echo registered || echo 'not registered'), port $(listening && echo open || echo closed)"
check "install $version again after the failed upgrade" msiexec /i "$rebuilt"
check "service answers again" eval 'listens_again && answers 0 "" red'

say "the README's repair line (docs/windows-kiosk.md)"
# Wine's msiexec does not repair by product code ("Product code treatment not implemented yet"):
# the line is run as far as the command it would give.
check "repair line names the installed build" eval 'run_batch repair "$(readme_line /fa | sed "s/ do msiexec / do echo msiexec /")" &&
    is "repair command" "$(tr -d "\r" <"$work/repair.out")" "msiexec /fa $(property "$rebuilt" ProductCode) /qn"'

say "lightctl.exe against the service"
check "wrong member type answers 1" answers 1 "Json member red has a wrong type" --json '{"red":"yes"}'
check "usage error exits 64" answers 64 "" purple
check "no service exits 2" answers 2 "" --port 1 red
check "no service is named" grep -q "cannot reach the light service on 127.0.0.1:1" "$work/lightctl.err"

say "remove"
check "remove line" run_batch remove "$(readme_line /x)"
check "service deleted" unregistered
check "event source removed" eval '! $wine reg query "$event_source_key" >/dev/null 2>&1'
check "product code key removed" eval '! $wine reg query "HKLM\\SOFTWARE\\NORVIK\\NORVIK Tessaro Light" /reg:32 >/dev/null 2>&1'
check "port closed" eval '! listening'
check "no product left" only_product ""
check "only the trial files left" eval '[ "$(ls "$folder" | tr "\n" " ")" = "WinRing0.dll lampsim.state " ]'
check "uninstall the trial package" msiexec /x "$trial"
check "program folder gone" eval '[ ! -e "$folder" ]'

say "took $(( $(date +%s) - start )) s"
finish

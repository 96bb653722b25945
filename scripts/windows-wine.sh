#!/usr/bin/env bash
# One Wine session of the Windows checks, inside a network namespace of its own (the caller runs
# it under `unshare -n`): loopback up, a fresh copy of the base prefix, its own wineserver, and
# everything ended before it returns. Sockets of Wine programs belong to the wineserver, so
# 127.0.0.1:48888 here is this session's alone.
# Usage: bash scripts/windows-wine.sh console|service|field|bench OUT
#   OUT is the Windows build directory (build/windows); Wine runs OUT/i686 where the kernel
#   runs 32-bit programs, OUT/x86_64 otherwise.
set -uo pipefail
session=$1
out=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
# The build this machine runs: i686 (the kiosk's) unless the kernel runs no 32-bit programs.
if [ -z "${WINE_ARCH:-}" ]; then
    WINE_ARCH=i686 WINE=wine
    if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        WINE_ARCH=x86_64 WINE=/usr/lib/wine/wine64
        export WINELOADER=$WINE
    fi
fi
bin=$out/$WINE_ARCH/bin
work=$out/run-$session
export WINEPREFIX=$out/prefix-$session WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ip link set lo up || { echo "$session: no loopback in this namespace"; exit 1; }

passed=0
failed=0
check() { # check TEXT COMMAND...: one end-to-end check, counted
    if "${@:2}"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $1"
    fi
}

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
lampview=${LAMPVIEW:-$root/build/native/bin/lampview}
[ -x "$lampview" ] || lampview=$out/native-tools/bin/lampview
appdata=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/NORVIK/tessarodriver

# exchange REQUEST ANSWER: one connection to 127.0.0.1:48888 from Linux, the answer byte for byte.
exchange() {
    python3 - "$1" "$2" <<'PY'
import socket, sys, time
request, expected = sys.argv[1].encode(), sys.argv[2].encode()
until = time.time() + 20
while True:
    try:
        s = socket.create_connection(("127.0.0.1", 48888), timeout=5)
        break
    except OSError:
        if time.time() > until:
            print("no connection to 127.0.0.1:48888"); sys.exit(1)
        time.sleep(0.2)
s.sendall(request)
got = b""
while len(got) < len(expected):
    chunk = s.recv(4096)
    if not chunk:
        break
    got += chunk
s.settimeout(0.3)
try:
    got += s.recv(4096)
except OSError:
    pass
if got != expected:
    print("answer %r, expected %r" % (got, expected)); sys.exit(1)
PY
}
refused() {
    python3 -c 'import socket,sys
try:
    socket.create_connection(("127.0.0.1", 48888), timeout=2)
except ConnectionRefusedError:
    sys.exit(0)
sys.exit(1)'
}
lamp_is() { [ "$("$lampview" --plain --state "$work/lampsim.state")" = "$1" ]; }
eventually() { local i; for i in $(seq 100); do "$@" && return 0; sleep 0.1; done; "$@"; }
# lines FILE: the file's lines without the CR of the console's line ends.
lines() { tr -d '\r' <"$1"; }
ok='{
   "error" : 0,
   "log" : ""
}
'
bad_type='{
   "error" : -1,
   "log" : "Json member red has a wrong type"
}
'

case $session in
console)
    # As a kiosk runs it by hand: `lightservice run`, requests from Linux, Ctrl+C.
    rm -rf "$appdata"
    (cd "$bin" && exec "$WINE" lightservice.exe run </dev/null >"$work/run.out" 2>"$work/run.err") &
    program=$!
    pids+=($program)
    check "red answered" exchange '{"red":true,"green":false,"blue":false}' "$ok"
    check "red lit on the simulated chip" lamp_is "red=on green=off blue=off"
    # The transport's lines go to the log under AppData once the configuration lets them.
    check "default log configuration under AppData, CR LF" \
        grep -q $'^log4cpp.rootCategory=ERROR, file\r$' "$appdata/tessarodriver_log.properties"
    printf 'log4cpp.category.SServer=INFO, file\r\n' >>"$appdata/tessarodriver_log.properties"
    sleep 2
    check "two requests on one connection" exchange '{"green":1}{"blue":true}' "$ok$ok"
    check "blue alone lit" lamp_is "red=off green=off blue=on"
    windows_lampview() { [ "$(cd "$bin" && "$WINE" lampview.exe --module WinRing0.dll --plain 2>/dev/null | tr -d '\r')" = "$1" ]; }
    check "the Windows lampview reads it through the port-access module" windows_lampview "red=off green=off blue=on"
    check "wrong member type" exchange '{"red":"yes"}' "$bad_type"
    check "transport lines in the log under AppData" eventually grep -q '\[SServer\]' "$appdata/logs/tdriver.log"
    kill -INT $program
    for _ in $(seq 100); do kill -0 $program 2>/dev/null || break; sleep 0.1; done
    wait $program
    check "Ctrl+C ends the run with status 0" test $? = 0
    check "started, one START and STOP per switch, FINISH" diff <(lines "$work/run.out" | grep -v '^Client ') \
        <(printf 'Light Velk77 service has started on the port 48888\n%s\nFINISH\n' "$(printf 'START\nSTOP\n%.0s' 1 2 3)")
    check "the connection lines" eventually grep -q $'^Client data {"red":"yes"}\r$' "$work/run.out"
    check "the port is closed after the run" refused

    # The key test through a pipe: keys one at a time, the lamp read from Linux in between.
    mkfifo "$work/keys"
    (cd "$bin" && exec "$WINE" lightservice.exe test <"$work/keys" >"$work/keys.out" 2>"$work/keys.err") &
    keytest=$!
    pids+=($keytest)
    exec 3>"$work/keys"
    check "key test starts all off" eventually lamp_is "red=off green=off blue=off"
    printf 'RG' >&3
    check "R and G light red and green" eventually lamp_is "red=on green=on blue=off"
    printf 'rB' >&3
    check "r and B leave blue alone" eventually lamp_is "red=off green=on blue=on"
    printf 'E' >&3
    exec 3>&-
    wait $keytest
    check "E ends the key test with status 0" test $? = 0
    check "key test ends all off" lamp_is "red=off green=off blue=off"
    check "key test help lines" diff <(lines "$work/keys.out") - <<'TXT'
Use keys:
- "R" - turn on the red color;
- "G" - turn on the green color;
- "B" - turn on the blue color;
- "r" - turn off the red color;
- "g" - turn off the green color;
- "b" - turn off the blue color;
- "E", "e" - exit;
START
STOP
START
STOP
TXT
    ;;

service)
    # Installed, started, answering, stopped and removed through Wine's service manager. A
    # service inherits no environment: the chip's state file is named machine-wide.
    name=norvik-tessaro-light-velk77
    key='HKLM\System\CurrentControlSet\Services\'$name
    "$WINE" reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
        /v LAMPSIM_STATE /t REG_SZ /d "$LAMPSIM_STATE" /f >/dev/null 2>&1
    wineserver -k; wineserver -w; wineserver -p
    # Programs that start the service hand it their standard handles: files only, never pipes.
    word() { (cd "$bin" && "$WINE" lightservice.exe "$1" </dev/null >"$work/$1.out" 2>>"$work/words.err"); }
    word install
    check "install line" diff <(lines "$work/install.out") <(echo 'Success install service!')
    "$WINE" reg export "$key" "$work/service.reg" /y >/dev/null 2>&1
    check "service entry: name, automatic start, LocalSystem, quoted path, description" python3 - "$work/service.reg" "$bin" <<'PY'
import sys
text = open(sys.argv[1], "rb").read().decode("utf-16")
want = ['"DisplayName"="NORVIK Tessaro Light Velk77"', '"Start"=dword:00000002',
        '"Type"=dword:00000010', '"ObjectName"="LocalSystem"',
        '"Description"="Служба NORVIK Tessaro Light Velk77 предназначена для взаимодействия '
        'с устройством по нижнему уровня с правами администратора"']
missing = [w for w in want if w not in text]
if missing or 'lightservice.exe\\"' not in text.replace('\\\\', '\\'):
    print("service entry lacks", missing); print(text); sys.exit(1)
PY
    word install
    check "second install: service exists" diff <(lines "$work/install.out") <(echo 'Error: ERROR_SERVICE_EXISTS')
    word start
    check "start prints nothing" test ! -s "$work/start.out"
    check "the service answers" exchange '{"red":true,"green":true,"blue":false}' "$ok"
    check "the service switched the chip" lamp_is "red=on green=on blue=off"
    # Stopped is reported only once the server is gone: the port is closed by then.
    stop_probe() { "$WINE" "$bin/servicestop.exe" "$name" 48888 "$LAMPSIM_STATE" </dev/null >"$work/stop.out" 2>&1; }
    check "stopped during a request: port and lamp closed when reported" stop_probe
    check "the port stays closed" refused
    word remove
    check "remove line" diff <(lines "$work/remove.out") <(echo 'Success remove service!')
    gone() { ! "$WINE" reg query "$key" >/dev/null 2>&1; }
    check "service entry gone" gone
    word remove
    check "second remove" diff <(lines "$work/remove.out") <(echo "Error: Can't remove service")
    ;;

field)
    # What kiosks in the field meet and Wine can show: clients that end their sending side right
    # after the request, a port-access module planted in a PATH folder, a program folder outside
    # the ANSI code page (1252 here), the start reported step by step, the service's Event Log
    # entries and their source, a port held by another program, a refused start.
    name=norvik-tessaro-light-velk77
    key='HKLM\System\CurrentControlSet\Services\'$name
    source='HKLM\System\CurrentControlSet\Services\EventLog\Application\'$name
    environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
    failed_lamp='{
   "error" : -1,
   "log" : "Не удалось выполнить инициализацию устройства"
}
'
    # The kiosk package's files: the program and the driver, no port-access module; a working
    # one in a folder on PATH.
    kiosk=$work/kiosk planted=$work/onpath
    mkdir -p "$kiosk" "$planted"
    cp "$bin/lightservice.exe" "$bin/BrillLamp.dll" "$kiosk/"
    cp "$bin/WinRing0.dll" "$planted/"
    run_console() { # run_console FOLDER: `lightservice run` there, in the background
        (cd "$1" && WINEPATH=$(windows_path "$planted") exec "$WINE" lightservice.exe run </dev/null \
            >"$work/run.out" 2>>"$work/wine.err") &
        program=$!
        pids+=($program)
    }
    end_console() {
        kill -INT $program
        for _ in $(seq 100); do kill -0 $program 2>/dev/null || break; sleep 0.1; done
        wait $program
    }
    run_console "$kiosk"
    check "a WinRing0.dll in a PATH folder is not loaded: the lamp is not initialised" \
        exchange '{"red":true}' "$failed_lamp"
    check "nothing reached the simulated chip" test ! -e "$work/lampsim.state"
    end_console

    cp "$bin/WinRing0.dll" "$kiosk/"
    run_console "$kiosk"
    check "the module beside the program is loaded" exchange '{"red":true}' "$ok"
    half_closed() { # half_closed COUNT: clients that send a request and end their sending side
        python3 - "$1" "$ok" <<'PY'
import socket, sys
count, expected = int(sys.argv[1]), sys.argv[2].encode()
answered = 0
for i in range(count):
    s = socket.create_connection(("127.0.0.1", 48888), timeout=10)
    s.sendall(b'{"red":%s,"green":%s,"blue":false}' % ((b"true", b"false") if i % 2 else (b"false", b"true")))
    s.shutdown(socket.SHUT_WR)
    got = b""
    try:
        while True:
            chunk = s.recv(4096)
            if not chunk:
                break
            got += chunk
    except OSError:
        pass
    s.close()
    answered += got == expected
print("half-closing clients answered: %d/%d" % (answered, count))
sys.exit(0 if answered == count else 1)
PY
    }
    check "clients that end their sending side after the request are answered" half_closed 10
    check "and the lamp follows them" lamp_is "red=on green=off blue=off"
    nc_example() { [ "$(printf '{"red":false,"green":false,"blue":true}' | nc -q1 127.0.0.1 48888)" = "${ok%$'\n'}" ]; }
    check "the protocol document's nc -q1 example gets its answer" nc_example
    check "blue lit by it" lamp_is "red=off green=off blue=on"
    check "a request with Cyrillic text" exchange '{"red":"Лампа"}' "$bad_type"
    end_console
    console_866() { grep -q $'^Client data {"red":"\x8b\xa0\xac\xaf\xa0"}\r$' "$work/run.out"; }
    check "its console line in code page 866, as the log's console appender writes" console_866

    # The service, installed from C:\Лампа with the port-access module beside it. A service
    # inherits no environment: the chip's state file, the lamp's start time, the PATH and Wine's
    # traces (what ReportEventW is given; the recovery actions Wine's service manager takes
    # without keeping them) are set machine-wide, for the service manager too.
    folder=$WINEPREFIX/drive_c/Лампа
    mkdir -p "$folder"
    cp "$kiosk"/* "$folder/"
    set_value() { "$WINE" reg add "$1" /v "$2" /t "${4:-REG_SZ}" /d "$3" /f >/dev/null 2>>"$work/wine.err"; }
    set_value "$environment" LAMPSIM_STATE "$LAMPSIM_STATE"
    set_value "$environment" LAMPSIM_INIT_DELAY_MS 1500
    set_value "$environment" WINEDEBUG '-all,+eventlog,fixme+service'
    set_value "$environment" PATH "%SystemRoot%\\system32;%SystemRoot%;$(windows_path "$planted")" REG_EXPAND_SZ
    wineserver -k; wineserver -w; wineserver -p
    word() { (cd "$folder" && "$WINE" lightservice.exe "$1" </dev/null >"$work/$1.out" 2>>"$work/wine.err"); }
    word install
    check "installed from C:\\Лампа: its line, no warning" diff <(lines "$work/install.out") <(echo 'Success install service!')
    # values KEY: the key's values as `reg export` writes them, in UTF-8, continued lines joined.
    values() {
        "$WINE" reg export "$1" "$work/export.reg" /y >/dev/null 2>&1 &&
            iconv -f utf-16 -t utf-8 "$work/export.reg" | tr -d '\r' | sed -e ':a' -e '/\\$/N; s/\\\n *//; ta'
    }
    # expandable TEXT: a REG_EXPAND_SZ value as `reg export` writes it.
    expandable() { printf 'hex(2):%s' "$(printf '%s\0' "$1" | iconv -f utf-8 -t utf-16le | od -An -tx1 -v | tr -d ' \n' | sed 's/../&,/g; s/,$//')"; }
    check "the service's command line: the quoted program in C:\\Лампа" \
        grep -qxF '"ImagePath"="\"C:\\Лампа\\lightservice.exe\""' <(values "$key")
    check "event source: the program as its message file" \
        grep -qxF "\"EventMessageFile\"=$(expandable 'C:\Лампа\lightservice.exe')" <(values "$source")
    # Wine takes the recovery actions without keeping them; it traces their reset period.
    check "recovery actions handed to the service manager" \
        grep -q 'SERVICE_CONFIG_FAILURE_ACTIONS not implemented: period 86400 msg (null) cmd (null)' "$work/wine.err"
    check "event source: errors, warnings and information" grep -qxF '"TypesSupported"=dword:00000007' <(values "$source")
    # started: the service's states, from StartServiceW to RUNNING or STOPPED.
    started() {
        "$WINE" "$bin/servicestart.exe" $name </dev/null 2>>"$work/wine.err" | tr -d '\r' |
            grep -E '^(START_PENDING|RUNNING|STOPPED|cannot) ' >"$work/states"
        cat "$work/states" >>"$work/all-states"
        grep -qE '^(RUNNING|STOPPED) ' "$work/states"
    }
    stop_service() { "$WINE" net stop $name </dev/null >/dev/null 2>>"$work/wine.err"; }
    # event TEXT: Wine's trace of an entry the service wrote.
    event() { eventually grep -qF "$1" "$work/wine.err"; }
    check "started from C:\\Лампа" started
    check "start pending while the lamp is initialised, with its wait hint" \
        grep -qx 'START_PENDING checkpoint=2 hint=15000 exit=0 specific=0' "$work/states"
    check "then running" eval 'tail -1 "$work/states" | grep -qx "RUNNING checkpoint=0 hint=0 exit=0 specific=0"'
    check "the service answers" exchange '{"red":true,"green":true,"blue":false}' "$ok"
    check "the service switched the chip" lamp_is "red=on green=on blue=off"
    stop_service
    check "Event Log: started" event 'Light Velk77 service has started on the port 48888'
    check "Event Log: stopped" event 'Light Velk77 service has stopped.'

    # Another program holds the port at the start, then lets it go.
    set_value "$environment" LAMPSIM_INIT_DELAY_MS 0
    python3 -c 'import os, socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 48888)); s.listen(1)
open(sys.argv[1] + ".held", "w").close()
while not os.path.exists(sys.argv[1] + ".free"): time.sleep(0.1)' "$work/port" &
    holder=$!
    pids+=($holder)
    eventually test -e "$work/port.held"
    check "started while another program holds the port" started
    check "Event Log: the port is taken, and what the service does about it" \
        event 'Can'"'"'t listen on port 48888'
    check "with the retry text" event 'the service tries again every second'
    touch "$work/port.free"
    # Gone before the client connects: a connection the holder's backlog took would be reset.
    wait $holder
    check "the port freed, the service answers" exchange '{"green":true}' "$ok"
    check "Event Log: listening now" event 'Port 48888 is free again: the service listens on it now.'
    stop_service

    # Without the module beside the program, the one on PATH stays unloaded in the service too.
    rm "$folder/WinRing0.dll"
    check "started without the module beside it" started
    check "the planted module is not loaded by the service" exchange '{"red":true}' "$failed_lamp"
    check "Event Log: the lamp's failure text" event 'The lamp could not be initialised; every request is answered'
    stop_service

    # A log folder the configuration cannot name refuses the start, with its own exit code. The
    # application-data folder named here does not exist yet: the service creates it.
    folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
    set_value "$folders" AppData 'C:\users\lamp#1\AppData\Roaming' REG_EXPAND_SZ
    started
    check "a refused start: stopped with the service's own exit code 1" \
        eval 'tail -1 "$work/states" | grep -qx "STOPPED checkpoint=0 hint=0 exit=1066 specific=1"'
    check "Event Log: why it was refused" event 'Light Velk77 service did not start (service-specific exit code 1): Error: Can'"'"'t name the log folder'
    stop_service
    word remove
    check "removed" diff <(lines "$work/remove.out") <(echo 'Success remove service!')
    gone() { ! "$WINE" reg query "$1" >/dev/null 2>&1; }
    check "service entry gone" gone "$key"
    check "event source gone" gone "$source"
    echo "service states seen:"; sed 's/^/  /' "$work/all-states"
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
    python3 - "$floor99" "$program" <<'PY'
import re, sys
p = re.search(r"p50 [0-9.]+ \(floor [0-9.]+, distance ([-+0-9.]+).*p99 [0-9.]+ \(floor [0-9.]+, distance ([-+0-9.]+)", sys.argv[2])
if sys.argv[1] and p:
    print("Windows program minus Wine's floor: p50 %+.3f (target <= 0.02), p99 %+.3f (target <= 0.05)"
          % (float(p.group(1)), float(p.group(2))))
else:
    print("Windows program under Wine: no figures")
PY
    exit 0
    ;;
esac

echo "$session: $passed checks passed, $failed failed"
[ $failed = 0 ]

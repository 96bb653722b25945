"""What kiosks in the field meet and Wine can show: clients that end their sending side right
after the request, a port-access module planted in a PATH folder, a program folder outside the
ANSI code page (1252 here), the start reported step by step, the service's Event Log entries and
their source, a port held by another program, a refused start."""
import re
import shutil
import socket
import subprocess

import pytest

import contract
from e2e import OK, PORT, Program, error_answer, eventually, lines, read, windows_path

SESSION = "field"
NAME = "norvik-tessaro-light-velk77"
KEY = "HKLM\\System\\CurrentControlSet\\Services\\" + NAME
SOURCE = "HKLM\\System\\CurrentControlSet\\Services\\EventLog\\Application\\" + NAME
ENVIRONMENT = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"
FOLDERS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"
FAILED_LAMP = error_answer(contract.initialisationFailed)
BAD_TYPE = error_answer(contract.redWrongType)


class Field:
    """The kiosk package's files (the program and the driver, no port-access module), a working
    module in a folder on PATH, and what the session started."""

    def __init__(self, wine, work, windows_bin):
        self.wine, self.work, self.bin = wine, work, windows_bin
        self.kiosk, self.planted = work / "kiosk", work / "onpath"
        self.kiosk.mkdir()
        self.planted.mkdir()
        for name in ("lightservice.exe", "BrillLamp.dll"):
            shutil.copy(windows_bin / name, self.kiosk)
        shutil.copy(windows_bin / "WinRing0.dll", self.planted)
        self.folder = wine.prefix / "drive_c" / "Лампа"
        self.console = None
        self.states, self.all_states = [], []

    def errors(self):
        return open(self.work / "wine.err", "ab")

    def run_console(self):
        """`lightservice run` in the kiosk folder, in the background."""
        with open(self.work / "run.out", "wb") as out, self.errors() as err:
            self.console = Program(self.wine.start("lightservice.exe", "run", cwd=self.kiosk, stdout=out, stderr=err,
                                                   env={"WINEPATH": windows_path(self.planted)}))

    def end_console(self):
        self.console.interrupt()
        self.console.status()

    def set_value(self, key, name, data, kind="REG_SZ"):
        with self.errors() as err:
            self.wine.run("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f", stderr=err)

    def word(self, what):
        with open(self.work / (what + ".out"), "wb") as out, self.errors() as err:
            self.wine.run("lightservice.exe", what, cwd=self.folder, stdout=out, stderr=err)
        return lines(self.work / (what + ".out"))

    def values(self, key):
        """The key's values as `reg export` writes them, continued lines joined."""
        export = self.work / "export.reg"
        export.unlink(missing_ok=True)
        if self.wine.run("reg", "export", key, export, "/y").returncode != 0:
            return []
        return re.sub(r"\\\n *", "", export.read_bytes().decode("utf-16").replace("\r", "")).splitlines()

    def started(self):
        """Starts the service; true once it reports RUNNING or STOPPED. Its states, from
        StartServiceW on, are kept in self.states."""
        with self.errors() as err:
            shown = self.wine.output(self.bin / "servicestart.exe", NAME, stderr=err)
        self.states = [line for line in shown.splitlines() if re.match(r"(START_PENDING|RUNNING|STOPPED|cannot) ", line)]
        self.all_states += self.states
        return any(re.match(r"(RUNNING|STOPPED) ", line) for line in self.states)

    def stop_service(self):
        with self.errors() as err:
            self.wine.run("net", "stop", NAME, stderr=err)

    def event(self, text):
        """Wine's trace of an entry the service wrote."""
        return eventually(lambda: text.encode() in read(self.work / "wine.err"))


@pytest.fixture(scope="module")
def field(wine, simulated_chip, work, windows_bin):
    session = Field(wine, work, windows_bin)
    yield session
    (work / "all-states").write_text("".join(line + "\n" for line in session.all_states))


def expandable(text):
    """A REG_EXPAND_SZ value as `reg export` writes it."""
    return "hex(2):" + ",".join("%02x" % byte for byte in (text + "\0").encode("utf-16le"))


def test_a_winring0_in_a_path_folder_is_not_loaded_the_lamp_is_not_initialised(field, client):
    field.run_console()
    assert client.exchange('{"red":true}', FAILED_LAMP) == FAILED_LAMP


def test_nothing_reached_the_simulated_chip(field, work):
    assert not (work / "lampsim.state").exists()


def test_the_module_beside_the_program_is_loaded(field, client, windows_bin):
    field.end_console()
    shutil.copy(windows_bin / "WinRing0.dll", field.kiosk)
    field.run_console()
    assert client.exchange('{"red":true}', OK) == OK


def test_clients_that_end_their_sending_side_after_the_request_are_answered(client):
    answers = [client.half_closed('{"red":%s,"green":%s,"blue":false}' % (("true", "false") if i % 2 else ("false", "true")))
               for i in range(10)]
    assert answers == [OK] * 10


def test_and_the_lamp_follows_them(lamp):
    assert lamp.reads() == "red=on green=off blue=off"


def test_the_protocol_documents_nc_q1_example_gets_its_answer():
    done = subprocess.run(["nc", "-q1", "127.0.0.1", str(PORT)], input=b'{"red":false,"green":false,"blue":true}',
                          stdout=subprocess.PIPE)
    assert done.stdout.rstrip(b"\n") == OK.rstrip(b"\n")


def test_blue_lit_by_it(lamp):
    assert lamp.reads() == "red=off green=off blue=on"


def test_a_request_with_cyrillic_text(client):
    assert client.exchange('{"red":"Лампа"}', BAD_TYPE) == BAD_TYPE


def test_its_console_line_in_code_page_866_as_the_logs_console_appender_writes(field, work):
    field.end_console()
    assert b'Client data {"red":"\x8b\xa0\xac\xaf\xa0"}\r' in read(work / "run.out").split(b"\n")


@pytest.fixture(scope="module")
def service(field, wine, simulated_chip):
    """The service, installed from C:\\Лампа with the port-access module beside it. A service
    inherits no environment: the chip's state file, the lamp's start time, the PATH and Wine's
    traces (what ReportEventW is given; the recovery actions Wine's service manager takes without
    keeping them) are set machine-wide, for the service manager too."""
    field.folder.mkdir(parents=True)
    for name in field.kiosk.iterdir():
        shutil.copy(name, field.folder)
    field.set_value(ENVIRONMENT, "LAMPSIM_STATE", simulated_chip)
    field.set_value(ENVIRONMENT, "LAMPSIM_INIT_DELAY_MS", "1500")
    field.set_value(ENVIRONMENT, "WINEDEBUG", "-all,+eventlog,fixme+service")
    field.set_value(ENVIRONMENT, "PATH", "%SystemRoot%\\system32;%SystemRoot%;" + windows_path(field.planted),
                    "REG_EXPAND_SZ")
    wine.restart_server()
    return field


def test_installed_from_c_lampa_its_line_no_warning(service):
    assert service.word("install") == [contract.installed]


def test_the_services_command_line_the_quoted_program_in_c_lampa(service):
    assert r'"ImagePath"="\"C:\\Лампа\\lightservice.exe\""' in service.values(KEY)


def test_event_source_the_program_as_its_message_file(service):
    assert '"EventMessageFile"=' + expandable("C:\\Лампа\\lightservice.exe") in service.values(SOURCE)


def test_recovery_actions_handed_to_the_service_manager(service, work):
    # Wine takes the recovery actions without keeping them; it traces their reset period.
    assert b"SERVICE_CONFIG_FAILURE_ACTIONS not implemented: period 86400 msg (null) cmd (null)" in read(work / "wine.err")


def test_event_source_errors_warnings_and_information(service):
    assert '"TypesSupported"=dword:00000007' in service.values(SOURCE)


def test_started_from_c_lampa(service):
    assert service.started()


def test_start_pending_while_the_lamp_is_initialised_with_its_wait_hint(service):
    assert "START_PENDING checkpoint=2 hint=15000 exit=0 specific=0" in service.states


def test_then_running(service):
    assert service.states[-1:] == ["RUNNING checkpoint=0 hint=0 exit=0 specific=0"]


def test_the_service_answers(service, client):
    assert client.exchange('{"red":true,"green":true,"blue":false}', OK) == OK


def test_the_service_switched_the_chip(service, lamp):
    assert lamp.reads() == "red=on green=on blue=off"


def test_event_log_started(service):
    service.stop_service()
    assert service.event(contract.serviceStarted)


def test_event_log_stopped(service):
    assert service.event(contract.serviceStopped)


@pytest.fixture(scope="module")
def holder(service):
    """Another program holds the port at the start."""
    service.set_value(ENVIRONMENT, "LAMPSIM_INIT_DELAY_MS", "0")
    held = socket.socket()
    held.bind(("127.0.0.1", PORT))
    held.listen(1)
    yield held
    held.close()


def test_started_while_another_program_holds_the_port(service, holder):
    assert service.started()


def test_event_log_the_port_is_taken_and_what_the_service_does_about_it(service):
    assert service.event(contract.portTaken)


def test_with_the_retry_text(service):
    assert service.event("the service tries again every second")


def test_the_port_freed_the_service_answers(service, holder, client):
    # Closed before the client connects: a connection the holder's backlog took would be reset.
    holder.close()
    assert client.exchange('{"green":true}', OK) == OK


def test_event_log_listening_now(service):
    assert service.event(contract.portOpened)


def test_started_without_the_module_beside_it(service):
    service.stop_service()
    # Without the module beside the program, the one on PATH stays unloaded in the service too.
    (service.folder / "WinRing0.dll").unlink()
    assert service.started()


def test_the_planted_module_is_not_loaded_by_the_service(service, client):
    assert client.exchange('{"red":true}', FAILED_LAMP) == FAILED_LAMP


def test_event_log_the_lamps_failure_text(service):
    assert service.event("The lamp could not be initialised; every request is answered")


def test_a_refused_start_stopped_with_the_services_own_exit_code_1(service):
    service.stop_service()
    # A log folder the configuration cannot name refuses the start, with its own exit code. The
    # application-data folder named here does not exist yet: the service creates it.
    service.set_value(FOLDERS, "AppData", "C:\\users\\lamp#1\\AppData\\Roaming", "REG_EXPAND_SZ")
    service.started()
    assert service.states[-1:] == ["STOPPED checkpoint=0 hint=0 exit=1066 specific=1"]


def test_event_log_why_it_was_refused(service):
    assert service.event("Light Velk77 service did not start (service-specific exit code 1): "
                         "Error: Can't name the log folder")


def test_removed(service):
    service.stop_service()
    assert service.word("remove") == [contract.removed]


def test_service_entry_gone(wine):
    assert wine.run("reg", "query", KEY).returncode != 0


def test_event_source_gone(wine):
    assert wine.run("reg", "query", SOURCE).returncode != 0

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
from e2e import (BAD_TYPE, ENVIRONMENT, EVENT_SOURCE, OK, PORT, SERVICE, SERVICE_KEY, Program, error_answer,
                 has_crlf_line, lines, lit, read, steps, windows_path, written)

SESSION = "field"
FOLDERS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"
FAILED_LAMP = error_answer(contract.initialisationFailed)
# Wine takes the recovery actions without keeping them; it traces their reset period.
RECOVERY = b"SERVICE_CONFIG_FAILURE_ACTIONS not implemented: period 86400 msg (null) cmd (null)"


class Field:
    """The kiosk package's files (the program and the driver, no port-access module) and a working
    module in a folder on PATH; the program run in the console from the kiosk's folder, then as a
    service from C:\\Лампа."""

    def __init__(self, wine, work, windows_bin):
        self.wine, self.work, self.bin = wine, work, windows_bin
        self.kiosk, self.planted, self.folder = work / "kiosk", work / "onpath", wine.prefix / "drive_c" / "Лампа"
        for folder, names in ((self.kiosk, ["lightservice.exe", "BrillLamp.dll"]), (self.planted, ["WinRing0.dll"])):
            folder.mkdir()
            for name in names:
                shutil.copy(windows_bin / name, folder)
        self.states, self.all_states, self.held = [], [], socket.socket()
        self.run_console()

    def run_console(self):
        self.console = Program(self.wine.start("lightservice.exe", "run", cwd=self.kiosk, stdout=self.work / "run.out",
                                               env={"WINEPATH": windows_path(self.planted)}))

    def word(self, what):
        self.wine.run("lightservice.exe", what, cwd=self.folder, stdout=self.work / (what + ".out"))
        return lines(self.work / (what + ".out"))

    def started(self):
        """Starts the service; true once it reports RUNNING or STOPPED. Its states, from
        StartServiceW on, are kept in self.states."""
        shown = self.wine.output(self.bin / "servicestart.exe", SERVICE).splitlines()
        self.states = [line for line in shown if re.match(r"(START_PENDING|RUNNING|STOPPED|cannot) ", line)]
        self.all_states += self.states
        return any(re.match(r"(RUNNING|STOPPED) ", line) for line in self.states)

    def stop(self):
        self.wine.run("net", "stop", SERVICE)

    def hold_port(self):
        self.wine.set_value(ENVIRONMENT, "LAMPSIM_INIT_DELAY_MS", "0")
        self.held.bind(("127.0.0.1", PORT))
        self.held.listen(1)


@pytest.fixture(scope="module")
def field(wine, simulated_chip, work, windows_bin):
    session = Field(wine, work, windows_bin)
    yield session
    session.held.close()
    (work / "all-states").write_text("".join(line + "\n" for line in session.all_states))


@pytest.fixture(scope="module")
def service(field, wine, simulated_chip):
    """The service, installed from C:\\Лампа with the port-access module beside it. A service
    inherits no environment: the chip's state file, the lamp's start time, the PATH and Wine's
    traces (what ReportEventW is given; the recovery actions Wine's service manager takes without
    keeping them) are set machine-wide, for the service manager too."""
    shutil.copytree(field.kiosk, field.folder)
    for name, data in (("LAMPSIM_STATE", simulated_chip), ("LAMPSIM_INIT_DELAY_MS", "1500"),
                       ("WINEDEBUG", "-all,+eventlog,fixme+service")):
        wine.set_value(ENVIRONMENT, name, data)
    wine.set_value(ENVIRONMENT, "PATH", "%SystemRoot%\\system32;%SystemRoot%;" + windows_path(field.planted),
                   "REG_EXPAND_SZ")
    wine.restart_server()
    return field


def registry_line(key, line):
    return lambda s: line in s.wine.registry(key).splitlines()


def expandable(text):
    """A REG_EXPAND_SZ value as `reg export` writes it."""
    return "hex(2):" + ",".join("%02x" % byte for byte in (text + "\0").encode("utf-16le"))


def event(text):
    """Wine's trace of an entry the service wrote."""
    return lambda s: written(s.work / "wine.err", text)


def started(s):
    return s.service.started()


def stop(s):
    s.service.stop()


@steps(
    ("a_winring0_in_a_path_folder_is_not_loaded_the_lamp_is_not_initialised", '{"red":true}', FAILED_LAMP),
    ("nothing_reached_the_simulated_chip", lambda s: (s.work / "lampsim.state").exists(), False),
    ("the_module_beside_the_program_is_loaded",
     [lambda s: s.field.console.stop(), lambda s: shutil.copy(s.windows_bin / "WinRing0.dll", s.field.kiosk),
      lambda s: s.field.run_console(), '{"red":true}'], OK),
    ("clients_that_end_their_sending_side_after_the_request_are_answered",
     lambda s: [s.client.half_closed(request) for request in
                ['{"red":false,"green":true,"blue":false}', '{"red":true,"green":false,"blue":false}'] * 5], [OK] * 10),
    ("and_the_lamp_follows_them", lambda s: s.lamp(), lit("red")),
    ("the_protocol_documents_nc_q1_example_gets_its_answer",
     lambda s: subprocess.run(["nc", "-q1", "127.0.0.1", str(PORT)], input=b'{"red":false,"green":false,"blue":true}',
                              stdout=subprocess.PIPE).stdout.rstrip(b"\n"), OK.rstrip(b"\n")),
    ("blue_lit_by_it", lambda s: s.lamp(), lit("blue")),
    ("a_request_with_cyrillic_text", '{"red":"Лампа"}', BAD_TYPE),
    ("its_console_line_in_code_page_866_as_the_logs_console_appender_writes",
     [lambda s: s.field.console.stop(),
      lambda s: has_crlf_line(s.work / "run.out", b'Client data {"red":"\x8b\xa0\xac\xaf\xa0"}')], True),
    ("installed_from_c_lampa_its_line_no_warning", lambda s: s.service.word("install"), [contract.installed]),
    ("the_services_command_line_the_quoted_program_in_c_lampa",
     registry_line(SERVICE_KEY, r'"ImagePath"="\"C:\\Лампа\\lightservice.exe\""'), True),
    ("event_source_the_program_as_its_message_file",
     registry_line(EVENT_SOURCE, '"EventMessageFile"=' + expandable("C:\\Лампа\\lightservice.exe")), True),
    ("recovery_actions_handed_to_the_service_manager", lambda s: RECOVERY in read(s.work / "wine.err"), True),
    ("event_source_errors_warnings_and_information",
     registry_line(EVENT_SOURCE, '"TypesSupported"=dword:00000007'), True),
    ("started_from_c_lampa", started, True),
    ("start_pending_while_the_lamp_is_initialised_with_its_wait_hint",
     lambda s: "START_PENDING checkpoint=2 hint=15000 exit=0 specific=0" in s.service.states, True),
    ("then_running", lambda s: s.service.states[-1:], ["RUNNING checkpoint=0 hint=0 exit=0 specific=0"]),
    ("the_service_answers", '{"red":true,"green":true,"blue":false}', OK),
    ("the_service_switched_the_chip", lambda s: s.lamp(), lit("red", "green")),
    ("event_log_started", [stop, event(contract.serviceStarted)], True),
    ("event_log_stopped", event(contract.serviceStopped), True),
    ("started_while_another_program_holds_the_port", [lambda s: s.service.hold_port(), started], True),
    ("event_log_the_port_is_taken_and_what_the_service_does_about_it", event(contract.portTaken), True),
    ("with_the_retry_text", event("the service tries again every second"), True),
    # Closed before the client connects: a connection the holder's backlog took would be reset.
    ("the_port_freed_the_service_answers", [lambda s: s.service.held.close(), '{"green":true}'], OK),
    ("event_log_listening_now", event(contract.portOpened), True),
    # Without the module beside the program, the one on PATH stays unloaded in the service too.
    ("started_without_the_module_beside_it",
     [stop, lambda s: (s.service.folder / "WinRing0.dll").unlink(), started], True),
    ("the_planted_module_is_not_loaded_by_the_service", '{"red":true}', FAILED_LAMP),
    ("event_log_the_lamps_failure_text", event("The lamp could not be initialised; every request is answered"), True),
    # A log folder the configuration cannot name refuses the start, with its own exit code. The
    # application-data folder named here does not exist yet: the service creates it.
    ("a_refused_start_stopped_with_the_services_own_exit_code_1",
     [stop, lambda s: s.wine.set_value(FOLDERS, "AppData", "C:\\users\\lamp#1\\AppData\\Roaming", "REG_EXPAND_SZ"),
      started, lambda s: s.service.states[-1:]],
     ["STOPPED checkpoint=0 hint=0 exit=1066 specific=1"]),
    ("event_log_why_it_was_refused", event("Light Velk77 service did not start (service-specific exit code 1): "
                                           "Error: Can't name the log folder"), True),
    ("removed", [stop, lambda s: s.service.word("remove")], [contract.removed]),
    ("service_entry_gone", lambda s: s.wine.has_key(SERVICE_KEY), False),
    ("event_source_gone", lambda s: s.wine.has_key(EVENT_SOURCE), False),
)
def test_field(field, fixtures, step, expected):
    assert fixtures.outcome(step, expected) == expected

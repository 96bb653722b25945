"""Installed, started, answering, stopped and removed through Wine's service manager. A service
inherits no environment: the chip's state file is named machine-wide."""
import subprocess

import pytest

import contract
from e2e import ENVIRONMENT, OK, PORT, SERVICE, SERVICE_KEY, lines, lit, read, steps

SESSION = "service"
ENTRY = ['"DisplayName"="%s"' % contract.serviceDisplayName, '"Start"=dword:00000002', '"Type"=dword:00000010',
         '"ObjectName"="LocalSystem"', '"Description"="%s"' % contract.serviceDescription, 'lightservice.exe\\"']


@pytest.fixture(scope="module")
def lightservice(wine, simulated_chip, work, windows_bin):
    """lightservice(WORD): the lines `lightservice WORD` writes, kept in WORD.out. Programs that
    start the service hand it their standard handles: files only, never pipes."""
    wine.set_value(ENVIRONMENT, "LAMPSIM_STATE", simulated_chip)
    wine.restart_server()

    def run(word):
        wine.run("lightservice.exe", word, cwd=windows_bin, stdout=work / (word + ".out"))
        return lines(work / (word + ".out"))
    return run


def word(what):
    return lambda s: s.lightservice(what)


def service_entry(s):
    text = s.wine.registry(SERVICE_KEY).replace("\\\\", "\\")
    return [value for value in ENTRY if value in text]


@steps(
    ("install_line", word("install"), [contract.installed]),
    ("service_entry_name_automatic_start_localsystem_quoted_path_description", service_entry, ENTRY),
    ("second_install_service_exists", word("install"), [contract.serviceExists]),
    ("start_prints_nothing", lambda s: (s.lightservice("start"), read(s.work / "start.out")), ([], b"")),
    ("the_service_answers", '{"red":true,"green":true,"blue":false}', OK),
    ("the_service_switched_the_chip", lambda s: s.lamp(), lit("red", "green")),
    # Stopped is reported only once the server is gone: the port is closed by then.
    ("stopped_during_a_request_port_and_lamp_closed_when_reported",
     lambda s: s.wine.run(s.windows_bin / "servicestop.exe", SERVICE, PORT, s.simulated_chip,
                          stdout=s.work / "stop.out", stderr=subprocess.STDOUT).returncode, 0),
    ("the_port_stays_closed", lambda s: s.client.refused(), True),
    ("remove_line", word("remove"), [contract.removed]),
    ("service_entry_gone", lambda s: s.wine.has_key(SERVICE_KEY), False),
    ("second_remove", word("remove"), [contract.cantRemove]),
)
def test_service(lightservice, fixtures, step, expected):
    assert fixtures.outcome(step, expected) == expected

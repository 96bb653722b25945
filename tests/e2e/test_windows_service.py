"""Installed, started, answering, stopped and removed through Wine's service manager. A service
inherits no environment: the chip's state file is named machine-wide."""
import pytest

import contract
from e2e import OK, lines

SESSION = "service"
NAME = "norvik-tessaro-light-velk77"
KEY = "HKLM\\System\\CurrentControlSet\\Services\\" + NAME
ENVIRONMENT = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"


@pytest.fixture(scope="module")
def word(wine, simulated_chip, work, windows_bin):
    """word(WORD): `lightservice WORD`, its output in WORD.out. Programs that start the service
    hand it their standard handles: files only, never pipes."""
    wine.run("reg", "add", ENVIRONMENT, "/v", "LAMPSIM_STATE", "/t", "REG_SZ", "/d", simulated_chip, "/f")
    wine.restart_server()

    def run(what):
        with open(work / (what + ".out"), "wb") as out, open(work / "words.err", "ab") as err:
            wine.run("lightservice.exe", what, cwd=windows_bin, stdout=out, stderr=err)
        return lines(work / (what + ".out"))
    return run


def test_install_line(word):
    assert word("install") == [contract.installed]


def test_service_entry_name_automatic_start_localsystem_quoted_path_description(wine, work):
    wine.run("reg", "export", KEY, work / "service.reg", "/y")
    text = (work / "service.reg").read_bytes().decode("utf-16")
    for value in ['"DisplayName"="%s"' % contract.serviceDisplayName, '"Start"=dword:00000002',
                  '"Type"=dword:00000010', '"ObjectName"="LocalSystem"',
                  '"Description"="%s"' % contract.serviceDescription]:
        assert value in text
    assert 'lightservice.exe\\"' in text.replace("\\\\", "\\")


def test_second_install_service_exists(word):
    assert word("install") == [contract.serviceExists]


def test_start_prints_nothing(word, work):
    word("start")
    assert (work / "start.out").stat().st_size == 0


def test_the_service_answers(client):
    assert client.exchange('{"red":true,"green":true,"blue":false}', OK) == OK


def test_the_service_switched_the_chip(lamp):
    assert lamp.reads() == "red=on green=on blue=off"


def test_stopped_during_a_request_port_and_lamp_closed_when_reported(wine, work, windows_bin, simulated_chip):
    # Stopped is reported only once the server is gone: the port is closed by then.
    with open(work / "stop.out", "wb") as out:
        assert wine.run(windows_bin / "servicestop.exe", NAME, "48888", simulated_chip,
                        stdout=out, stderr=out).returncode == 0


def test_the_port_stays_closed(client):
    assert client.refused()


def test_remove_line(word):
    assert word("remove") == [contract.removed]


def test_service_entry_gone(wine):
    assert wine.run("reg", "query", KEY).returncode != 0


def test_second_remove(word):
    assert word("remove") == [contract.cantRemove]

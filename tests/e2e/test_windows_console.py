"""As a kiosk runs the program by hand: `lightservice run`, requests from Linux, Ctrl+C; then the
key test through a pipe, keys one at a time, the lamp read from Linux in between."""
import getpass
import shutil
import subprocess
import time

import pytest

import contract
from e2e import OK, Program, error_answer, eventually, lines, read

SESSION = "console"
BAD_TYPE = error_answer(contract.redWrongType)


@pytest.fixture(scope="module")
def appdata(wine):
    return wine.prefix / "drive_c" / "users" / getpass.getuser() / "AppData" / "Roaming" / "NORVIK" / "tessarodriver"


@pytest.fixture(scope="module")
def run(wine, simulated_chip, work, windows_bin, appdata):
    shutil.rmtree(appdata, ignore_errors=True)
    with open(work / "run.out", "wb") as out, open(work / "run.err", "wb") as err:
        return Program(wine.start("lightservice.exe", "run", cwd=windows_bin, stdout=out, stderr=err))


def test_red_answered(run, client):
    assert client.exchange('{"red":true,"green":false,"blue":false}', OK) == OK


def test_red_lit_on_the_simulated_chip(lamp):
    assert lamp.reads() == "red=on green=off blue=off"


def test_default_log_configuration_under_appdata_with_crlf(appdata):
    assert b"log4cpp.rootCategory=ERROR, file\r" in read(appdata / "tessarodriver_log.properties").split(b"\n")


def test_two_requests_on_one_connection(appdata, client):
    # The transport's lines go to the log under AppData once the configuration lets them.
    with open(appdata / "tessarodriver_log.properties", "ab") as configuration:
        configuration.write(b"log4cpp.category.SServer=INFO, file\r\n")
    time.sleep(2)
    assert client.exchange('{"green":1}{"blue":true}', OK + OK) == OK + OK


def test_blue_alone_lit(lamp):
    assert lamp.reads() == "red=off green=off blue=on"


def test_the_windows_lampview_reads_it_through_the_port_access_module(wine, windows_bin):
    assert wine.output("lampview.exe", "--module", "WinRing0.dll", "--plain", cwd=windows_bin) == \
        "red=off green=off blue=on"


def test_wrong_member_type(client):
    assert client.exchange('{"red":"yes"}', BAD_TYPE) == BAD_TYPE


def test_transport_lines_in_the_log_under_appdata(appdata):
    assert eventually(lambda: b"[SServer]" in read(appdata / "logs" / "tdriver.log"))


def test_ctrl_c_ends_the_run_with_status_0(run):
    run.interrupt()
    assert run.status() == 0


def test_started_one_start_and_stop_per_switch_finish(work):
    assert [line for line in lines(work / "run.out") if not line.startswith("Client ")] == \
        [contract.serviceStarted] + ["START", "STOP"] * 3 + ["FINISH"]


def test_the_connection_lines(work):
    assert eventually(lambda: b'Client data {"red":"yes"}\r' in read(work / "run.out").split(b"\n"))


def test_the_port_is_closed_after_the_run(client):
    assert client.refused()


@pytest.fixture(scope="module")
def keys(wine, simulated_chip, work, windows_bin):
    with open(work / "keys.out", "wb") as out, open(work / "keys.err", "wb") as err:
        return wine.start("lightservice.exe", "test", cwd=windows_bin, stdin=subprocess.PIPE, stdout=out, stderr=err)


def press(keys, text):
    keys.stdin.write(text)
    keys.stdin.flush()


def test_key_test_starts_all_off(keys, lamp):
    assert eventually(lambda: lamp.reads() == "red=off green=off blue=off")


def test_r_and_g_light_red_and_green(keys, lamp):
    press(keys, b"RG")
    assert eventually(lambda: lamp.reads() == "red=on green=on blue=off")


def test_small_r_and_b_leave_blue_alone(keys, lamp):
    press(keys, b"rB")
    assert eventually(lambda: lamp.reads() == "red=off green=on blue=on")


def test_e_ends_the_key_test_with_status_0(keys):
    press(keys, b"E")
    keys.stdin.close()
    assert keys.wait(timeout=60) == 0


def test_key_test_ends_all_off(lamp):
    assert lamp.reads() == "red=off green=off blue=off"


def test_key_test_help_lines(work):
    assert lines(work / "keys.out") == (contract.keyTestHelp + "START\nSTOP\nSTART\nSTOP\n").splitlines()

"""As a kiosk runs the program by hand: `lightservice run`, requests from Linux, Ctrl+C; then the
key test through a pipe, keys one at a time, the lamp read from Linux in between."""
import getpass
import shutil
import subprocess
import time

import pytest

import contract
from e2e import BAD_TYPE, OK, Program, eventually, has_crlf_line, lines, lit, steps, written

SESSION = "console"


@pytest.fixture(scope="module")
def appdata(wine):
    return wine.prefix / "drive_c/users" / getpass.getuser() / "AppData/Roaming/NORVIK/tessarodriver"


@pytest.fixture(scope="module")
def run(wine, simulated_chip, work, windows_bin, appdata):
    shutil.rmtree(appdata, ignore_errors=True)
    return Program(wine.start("lightservice.exe", "run", cwd=windows_bin, stdout=work / "run.out"))


@pytest.fixture(scope="module")
def keys(wine, simulated_chip, work, windows_bin):
    return wine.start("lightservice.exe", "test", cwd=windows_bin, stdin=subprocess.PIPE, stdout=work / "keys.out")


def log_transport(s):
    with open(s.appdata / "tessarodriver_log.properties", "ab") as configuration:
        configuration.write(b"log4cpp.category.SServer=INFO, file\r\n")
    time.sleep(2)


def press(text, then_lit):
    def step(s):
        s.keys.stdin.write(text)
        s.keys.stdin.flush()
        return eventually(lambda: s.lamp() == then_lit)
    return step


@steps(
    ("red_answered", '{"red":true,"green":false,"blue":false}', OK),
    ("red_lit_on_the_simulated_chip", lambda s: s.lamp(), lit("red")),
    ("default_log_configuration_under_appdata_with_crlf",
     lambda s: has_crlf_line(s.appdata / "tessarodriver_log.properties", b"log4cpp.rootCategory=ERROR, file"), True),
    ("two_requests_on_one_connection", [log_transport, '{"green":1}{"blue":true}'], OK + OK),
    ("blue_alone_lit", lambda s: s.lamp(), lit("blue")),
    ("the_windows_lampview_reads_it_through_the_port_access_module",
     lambda s: s.wine.output("lampview.exe", "--module", "WinRing0.dll", "--plain", cwd=s.windows_bin), lit("blue")),
    ("wrong_member_type", '{"red":"yes"}', BAD_TYPE),
    ("transport_lines_in_the_log_under_appdata", lambda s: written(s.appdata / "logs/tdriver.log", "[SServer]"), True),
    ("ctrl_c_ends_the_run_with_status_0", lambda s: s.run.stop(), 0),
    ("started_one_start_and_stop_per_switch_finish",
     lambda s: [line for line in lines(s.work / "run.out") if not line.startswith("Client ")],
     [contract.serviceStarted] + ["START", "STOP"] * 3 + ["FINISH"]),
    ("the_connection_lines",
     lambda s: eventually(lambda: has_crlf_line(s.work / "run.out", b'Client data {"red":"yes"}')), True),
    ("the_port_is_closed_after_the_run", lambda s: s.client.refused(), True),
    ("key_test_starts_all_off", press(b"", lit()), True),
    ("r_and_g_light_red_and_green", press(b"RG", lit("red", "green")), True),
    ("small_r_and_b_leave_blue_alone", press(b"rB", lit("green", "blue")), True),
    ("e_ends_the_key_test_with_status_0",
     [lambda s: s.keys.stdin.write(b"E"), lambda s: s.keys.stdin.close(), lambda s: s.keys.wait(timeout=60)], 0),
    ("key_test_ends_all_off", lambda s: s.lamp(), lit()),
    ("key_test_help_lines", lambda s: lines(s.work / "keys.out"),
     (contract.keyTestHelp + "START\nSTOP\nSTART\nSTOP\n").splitlines()),
)
def test_console(run, fixtures, step, expected):
    assert fixtures.outcome(step, expected) == expected

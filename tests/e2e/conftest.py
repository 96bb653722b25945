"""Fixtures of the end-to-end sessions. Each Wine session (a test module naming its SESSION) runs
in a network namespace of its own, with a fresh copy of the base Wine prefix and its own
wineserver, which owns the sockets of Wine programs: 127.0.0.1:48888 there is the session's alone.
Everything the session started is ended before the next one begins."""
import ctypes
import os
import pathlib
import shutil
import subprocess

import pytest

from e2e import PORT, ROOT, Client, Fixtures, Wine, windows_path


def pytest_addoption(parser):
    parser.addoption("--windows-build", default=str(ROOT / "build" / "windows"),
                     help="the Windows build directory (scripts/windows-tests.sh makes it)")
    parser.addoption("--build-dir", help="the Linux build tree whose Debian package is tested")
    parser.addoption("--sanitized", default="0", help="1 when that tree is built with a sanitizer")


@pytest.fixture(scope="session")
def windows_build(request):
    return pathlib.Path(request.config.getoption("--windows-build")).resolve()


@pytest.fixture(scope="module")
def network():
    """A network namespace of this process's own for the session: loopback up, and port 48888
    reserved, so that no program elsewhere holds it and no client socket is given it."""
    libc = ctypes.CDLL(None, use_errno=True)
    clone_newnet = 0x40000000
    with open("/proc/self/ns/net") as previous:
        if libc.unshare(clone_newnet) != 0:
            raise OSError(ctypes.get_errno(), "no network namespace of its own (run as root)")
        try:
            subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
            subprocess.run(["sysctl", "-qw", "net.ipv4.ip_local_reserved_ports=%d" % PORT], check=True)
            yield
        finally:
            libc.setns(previous.fileno(), clone_newnet)


@pytest.fixture(scope="module")
def work(request, windows_build):
    """The session's folder for what its programs write, emptied first."""
    folder = windows_build / ("run-" + request.module.SESSION)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


@pytest.fixture(scope="module")
def wine(request, network, windows_build):
    """A copy of the base prefix with its server, kept running without programs; its programs
    and the server ended at the end of the session. A session that installs into the prefix
    (LINKED_PREFIX = False) copies it whole; the others hard-link the system files Wine only
    reads (some 700 MB) and copy the registry, which it rewrites."""
    prefix = windows_build / ("prefix-" + request.module.SESSION)
    base = windows_build / "wineprefix"
    wine = Wine(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    if not (base / "system.reg").exists():
        # The prefix every session copies, made once (about 10 s); its registry files appear once
        # the server has ended.
        maker = Wine(base, wine.arch)
        maker.run("wineboot", "-i", limit=120)
        subprocess.run(["timeout", "60", "wineserver", "-w"], env=maker.env)
        if not (base / "system.reg").exists():
            pytest.fail("Wine could not create its prefix " + str(base))
    linked = getattr(request.module, "LINKED_PREFIX", True)
    subprocess.run(["cp", "-al" if linked else "-a", str(base), str(prefix)], check=True)
    for registry in base.glob("*.reg") if linked else ():
        (prefix / registry.name).unlink()
        shutil.copy(registry, prefix / registry.name)
    wine.server("-p")
    yield wine
    wine.end()


@pytest.fixture
def fixtures(request):
    return Fixtures(request)


@pytest.fixture(scope="module")
def windows_bin(wine, windows_build):
    return windows_build / wine.arch / "bin"


@pytest.fixture(scope="module")
def client():
    return Client()


@pytest.fixture(scope="module")
def simulated_chip(wine, work):
    """The state file of the simulated chip that the session's Windows programs switch, as Wine
    names it for them; Wine's errors and traces go to wine.err beside it."""
    wine.env["LAMPSIM_STATE"] = windows_path(work / "lampsim.state")
    wine.errors = work / "wine.err"
    return wine.env["LAMPSIM_STATE"]


@pytest.fixture(scope="module")
def lamp(simulated_chip, work, windows_build):
    """lamp(): that chip's lamp as the Linux lampview reads it."""
    lampview = pathlib.Path(os.environ.get("LAMPVIEW") or ROOT / "build" / "native" / "bin" / "lampview")
    if not os.access(lampview, os.X_OK):
        lampview = windows_build / "native-tools" / "bin" / "lampview"
    command = [lampview, "--plain", "--state", work / "lampsim.state"]
    return lambda: subprocess.run(command, stdout=subprocess.PIPE).stdout.decode().rstrip("\n")

#!/usr/bin/python3
"""What the end-to-end sessions use: Wine, a TCP client of the service's port, the service's
process, the simulated chip's lamp, step tables. Run as a program it prints the build Wine runs
here (i686 or x86_64), for the scripts that build it."""
import contextlib
import os
import pathlib
import re
import signal
import socket
import subprocess
import sys
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "support"))
import contract  # noqa: E402

PORT = 48888
OK = contract.successAnswer.encode()
SERVICE = "norvik-tessaro-light-velk77"
SERVICE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\" + SERVICE
EVENT_SOURCE = "HKLM\\System\\CurrentControlSet\\Services\\EventLog\\Application\\" + SERVICE
ENVIRONMENT = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"


def error_answer(log):
    return (contract.failureAnswerHead + log + contract.failureAnswerTail).encode()


BAD_TYPE = error_answer(contract.redWrongType)


def lit(*colours):
    """What lampview --plain shows with these colours on."""
    return " ".join(c + ("=on" if c in colours else "=off") for c in ("red", "green", "blue"))


def eventually(check, tries=100, pause=0.1):
    for _ in range(tries):
        if check():
            return True
        time.sleep(pause)
    return bool(check())


def read(path):
    try:
        return pathlib.Path(path).read_bytes()
    except FileNotFoundError:
        return b""


def lines(path):
    """The file's lines without the CR of the Windows console's line ends."""
    return read(path).decode("utf-8", "replace").replace("\r", "").splitlines()


def has_crlf_line(path, line):
    return line + b"\r" in read(path).split(b"\n")


def written(path, text):
    return eventually(lambda: text.encode() in read(path))


def steps(*rows):
    """One test per row (name, step, expected[, marks]), in order; see Fixtures.outcome."""
    return pytest.mark.parametrize("step, expected", [pytest.param(*row[1:3], id=row[0], marks=row[3:])
                                                      for row in rows])


class Fixtures:
    """A test's fixtures by name, each set up when a step first asks for it."""

    def __init__(self, request):
        self._request = request

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        return self._request.getfixturevalue(name)

    def outcome(self, step, expected):
        """The step's result: of a request, the answer from the service's port (read as long as
        expected); of a function, what it returns given these fixtures; of a list, the last part's."""
        for part in step if isinstance(step, list) else [step]:
            got = self.client.exchange(part, expected) if isinstance(part, str) else part(self)
        return got

    def want(self, expected):
        """What the step should give: expected, or what it returns given these fixtures."""
        return expected(self) if callable(expected) else expected


def received(s, until=None):
    """What comes until the peer ends its side or the socket times out, or until bytes have come."""
    got = b""
    with contextlib.suppress(OSError):
        while until is None or len(got) < until:
            chunk = s.recv(4096)
            if not chunk:
                break
            got += chunk
    return got


class Client:
    """Connections to the service's port from Linux."""
    address = ("127.0.0.1", PORT)

    def connect(self, wait=20):
        until = time.time() + wait
        while True:
            try:
                return socket.create_connection(self.address, timeout=5)
            except OSError:
                if time.time() > until:
                    raise AssertionError("no connection to %s:%d" % self.address)
                time.sleep(0.2)

    def exchange(self, request, expected):
        """What one connection that sends the request gets back: as many bytes as expected, and
        whatever else comes within 0.3 s."""
        with self.connect() as s:
            s.sendall(request.encode() if isinstance(request, str) else request)
            got = received(s, len(expected))
            s.settimeout(0.3)
            return got + received(s)

    def half_closed(self, request, timeout=10):
        """The answer to a client that ends its sending side right after the request."""
        with socket.create_connection(self.address, timeout=timeout) as s:
            s.sendall(request.encode())
            s.shutdown(socket.SHUT_WR)
            return received(s)

    def refused(self):
        try:
            socket.create_connection(self.address, timeout=2).close()
        except ConnectionRefusedError:
            return True
        except OSError:
            pass
        return False


class Program:
    """A service process run as a console program, ended as Ctrl+C ends it."""

    def __init__(self, process):
        self.process = process

    def interrupt(self, wait=10):
        """SIGINT, as Ctrl+C in the console; true when the process has ended within wait seconds."""
        self.process.send_signal(signal.SIGINT)
        return eventually(lambda: self.process.poll() is not None, tries=int(wait * 10))

    def status(self):
        """Its exit status once it has ended; None when it had to be killed after a minute."""
        try:
            return self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None

    def stop(self):
        self.interrupt()
        return self.status()


def arch():
    """i686, the kiosk's build, unless the kernel runs no 32-bit programs (Wine's 32-bit loader is one)."""
    try:
        runs = subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
    except OSError:
        runs = False
    return "i686" if runs else "x86_64"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


class Wine:
    """Wine programs in one prefix, with the server that owns their sockets and services. Their
    standard error goes to the file errors names (appended), when one is named."""

    def __init__(self, prefix, architecture=None):
        self.arch = architecture or os.environ.get("WINE_ARCH") or arch()
        # Debian's wine command starts the 32-bit loader whenever it is installed.
        self.loader = "wine" if self.arch == "i686" else "/usr/lib/wine/wine64"
        self.prefix, self.errors, self.children = prefix, None, []
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        if self.arch != "i686":
            self.env["WINELOADER"] = self.loader

    def _call(self, how, args, limit=None, env=None, stdout=subprocess.DEVNULL, stderr=None, **kw):
        # Services inherit standard input: never a pipe unless asked for.
        kw.setdefault("stdin", subprocess.DEVNULL)
        with contextlib.ExitStack() as files:
            if isinstance(stdout, pathlib.Path):
                stdout = files.enter_context(open(stdout, "wb"))
            if stderr is None:
                stderr = files.enter_context(open(self.errors, "ab")) if self.errors else subprocess.DEVNULL
            command = (["timeout", str(limit)] if limit else []) + [self.loader, *map(str, args)]
            return how(command, env=dict(self.env, **(env or {})), stdout=stdout, stderr=stderr, **kw)

    def run(self, *args, **kw):
        """Runs a Wine program to its end; stdout may name a file, written anew."""
        return self._call(subprocess.run, args, **kw)

    def output(self, *args, **kw):
        """The program's standard output, CRs and the final line ends dropped."""
        done = self.run(*args, stdout=subprocess.PIPE, **kw)
        return done.stdout.decode("utf-8", "replace").replace("\r", "").rstrip("\n")

    def start(self, *args, **kw):
        """Starts a Wine program that the session ends at its end."""
        child = self._call(subprocess.Popen, args, **kw)
        self.children.append(child)
        return child

    def set_value(self, key, name, data, kind="REG_SZ"):
        self.run("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")

    def has_key(self, key, *args):
        return self.run("reg", "query", key, *args).returncode == 0

    def registry(self, key):
        """The key's values as `reg export` writes them, continued lines joined; none without the key."""
        export = self.prefix / "export.reg"
        export.unlink(missing_ok=True)
        if self.run("reg", "export", key, windows_path(export), "/y").returncode != 0:
            return ""
        return re.sub(r"\\\n *", "", export.read_bytes().decode("utf-16").replace("\r", ""))

    def server(self, *args):
        subprocess.run(["wineserver", *args], env=self.env, stderr=subprocess.DEVNULL)

    def restart_server(self):
        """A new server, kept running without programs (installed services live as long as it does)."""
        for option in ("-k", "-w", "-p"):
            self.server(option)

    def end(self):
        for child in self.children:
            child.terminate()
        for child in self.children:
            try:
                child.wait(timeout=10)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()
        self.server("-k")
        self.server("-w")


if __name__ == "__main__":
    print(arch())

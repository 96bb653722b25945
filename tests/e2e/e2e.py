#!/usr/bin/python3
"""What the end-to-end sessions use: Wine, a TCP client of the service's port, the service's
process, the simulated chip's lamp. Run as a program it prints the build Wine runs here (i686 or
x86_64), for the scripts that build it."""
import contextlib
import ctypes
import os
import pathlib
import signal
import socket
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "support"))
import contract  # noqa: E402

PORT = 48888
OK = contract.successAnswer.encode()


def error_answer(log):
    return (contract.errorAnswerOpening + log + contract.errorAnswerClosing).encode()


def eventually(check, tries=100, pause=0.1):
    """True once check() is, within tries x pause seconds."""
    for _ in range(tries):
        if check():
            return True
        time.sleep(pause)
    return bool(check())


def read(path):
    """The file's bytes, or none when it does not exist (yet)."""
    try:
        return pathlib.Path(path).read_bytes()
    except FileNotFoundError:
        return b""


def lines(path, encoding="utf-8"):
    """The file's lines without the CR of the Windows console's line ends."""
    return read(path).decode(encoding, "replace").replace("\r", "").splitlines()


@contextlib.contextmanager
def own_network():
    """A network namespace of this process's own while the block runs: loopback up, and port
    48888 reserved, so that no program elsewhere holds it and no client socket is given it."""
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


class Client:
    """Connections to the service's port from Linux."""

    def __init__(self, host="127.0.0.1", port=PORT):
        self.address = (host, port)

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
        request = request.encode() if isinstance(request, str) else request
        with self.connect() as s:
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
        return got

    def half_closed(self, request, timeout=10):
        """The answer to a client that ends its sending side right after the request."""
        with socket.create_connection(self.address, timeout=timeout) as s:
            s.sendall(request.encode())
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
        return got

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

    def running(self):
        return self.process.poll() is None

    def interrupt(self, wait=10):
        """SIGINT, as Ctrl+C in the console; true when the process has ended within wait seconds."""
        self.process.send_signal(signal.SIGINT)
        return eventually(lambda: not self.running(), tries=int(wait * 10))

    def status(self):
        """Its exit status once it has ended; None when it had to be killed after a minute."""
        try:
            return self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None


class Lamp:
    """The simulated chip's lamp as the Linux lampview reads it from the chip's state file."""

    def __init__(self, lampview, state):
        self.lampview, self.state = lampview, state

    def reads(self):
        done = subprocess.run([str(self.lampview), "--plain", "--state", str(self.state)], stdout=subprocess.PIPE)
        return done.stdout.decode().rstrip("\n")


def arch():
    """i686, the kiosk's build, unless the kernel runs no 32-bit programs (Wine's 32-bit loader is one)."""
    try:
        runs = subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
    except OSError:
        runs = False
    return "i686" if runs else "x86_64"


def loader(architecture):
    # Debian's wine command starts the 32-bit loader whenever it is installed.
    return "wine" if architecture == "i686" else "/usr/lib/wine/wine64"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


class Wine:
    """Wine programs in one prefix, with the server that owns their sockets and services."""

    def __init__(self, prefix, architecture=None):
        self.arch = architecture or os.environ.get("WINE_ARCH") or arch()
        self.loader = loader(self.arch)
        self.prefix = prefix
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        if self.arch != "i686":
            self.env["WINELOADER"] = self.loader
        self.children = []

    def command(self, *args, limit=None):
        """The command line of a Wine program, ended after limit seconds if one is given."""
        return (["timeout", str(limit)] if limit else []) + [self.loader, *map(str, args)]

    def run(self, *args, env=None, limit=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw):
        """Runs a Wine program to its end; standard input is never a pipe (services inherit it)."""
        kw.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.run(self.command(*args, limit=limit), env=dict(self.env, **(env or {})), stdout=stdout,
                              stderr=stderr, **kw)

    def output(self, *args, **kw):
        """The program's standard output, CRs and the final line ends dropped."""
        done = self.run(*args, stdout=subprocess.PIPE, **kw)
        return done.stdout.decode("utf-8", "replace").replace("\r", "").rstrip("\n")

    def start(self, *args, env=None, **kw):
        """Starts a Wine program that the session ends at its end."""
        kw.setdefault("stdin", subprocess.DEVNULL)
        child = subprocess.Popen(self.command(*args), env=dict(self.env, **(env or {})), **kw)
        self.children.append(child)
        return child

    def server(self, *args):
        subprocess.run(["wineserver", *args], env=self.env, stderr=subprocess.DEVNULL)

    def restart_server(self):
        """A new server, kept running without programs (installed services live as long as it does)."""
        self.server("-k")
        self.server("-w")
        self.server("-p")

    def end(self):
        for child in self.children:
            if child.poll() is None:
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

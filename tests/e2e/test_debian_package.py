"""The Debian package of one Linux build tree (--build-dir, --sanitized 1 for a sanitizer's):
built as a release is, its control fields and contents checked, installed and removed by dpkg in
a scratch tree, and the extracted service run against the simulated chip. ctest runs it in each
tree (tests/package)."""
import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import time
import types

import pytest

import contract
from e2e import SERVICE, Program, read, steps

UNIT = SERVICE + ".service"
UNITS = "usr/lib/systemd/system"
LIB = "usr/lib/lightservice"
DEPENDENCIES = ["liblog4cpp5v5", "libjsoncpp25", "zlib1g", "libsystemd0"]
FILES = ["/usr/bin/lampview", "/usr/bin/lightctl", "/usr/bin/lightservice", "/usr/lib/lightservice/libBrillLamp.so",
         "/usr/lib/lightservice/libWinRing0.so", "/usr/lib/systemd/system/" + UNIT,
         "/usr/share/doc/norvik-light/README.md", "/usr/share/doc/norvik-light/docs/driver.md",
         "/usr/share/doc/norvik-light/docs/linux.md", "/usr/share/doc/norvik-light/docs/protocol.md"]
needs_root = pytest.mark.skipif(os.getuid() != 0, reason="the rest needs root (lightservice checks for it)")


def output(*command, **kw):
    return subprocess.run(command, stdout=subprocess.PIPE, **kw).stdout.decode().rstrip("\n")


@pytest.fixture(scope="module")
def build(request):
    if not request.config.getoption("--build-dir"):
        pytest.fail("--build-dir names the Linux build tree")
    return pathlib.Path(request.config.getoption("--build-dir")).resolve()


@pytest.fixture(scope="module")
def scratch():
    folder = pathlib.Path(tempfile.mkdtemp(prefix="packagetest."))
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


def fingerprint(build, stage):
    """What the package is made of: the files the build installs (staged below stage), CPack's
    configuration, the control scripts it names, and the installed packages dpkg-shlibdeps reads."""
    digest = hashlib.sha256()
    for path in sorted(stage.rglob("*")):
        digest.update(b"%s\0%o\0" % (os.fsencode(path.relative_to(stage)), path.lstat().st_mode))
        if path.is_symlink():
            digest.update(os.readlink(path).encode())
        elif path.is_file():
            digest.update(path.read_bytes())
    configuration = (build / "CPackConfig.cmake").read_bytes()
    extra = re.search(rb'CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "([^"]*)"', configuration)
    for path in [*(extra.group(1).split(b";") if extra else []), b"/var/lib/dpkg/status"]:
        digest.update(read(path.decode()))
    digest.update(configuration)
    digest.update(read(build / "CPackProperties.cmake"))
    return digest.hexdigest()


@pytest.fixture(scope="module")
def deb(build):
    """The package, built the way a release is: cpack from the build's own configuration. Made
    again only when what it is made of has changed since the last run (kept in the build tree)."""
    cache = build / "package-test"
    stage = cache / "stage"
    shutil.rmtree(stage, ignore_errors=True)
    stage.mkdir(parents=True)
    staged = subprocess.run(["cmake", "--install", build, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=str(stage)),
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    made_of = fingerprint(build, stage) if staged.returncode == 0 else ""
    shutil.rmtree(stage)
    debs = sorted((cache / "out").glob("*.deb"))
    if not made_of or read(cache / "fingerprint").decode() != made_of or len(debs) != 1:
        (cache / "fingerprint").unlink(missing_ok=True)
        shutil.rmtree(cache / "out", ignore_errors=True)
        done = subprocess.run(["cpack", "-G", "DEB", "--config", build / "CPackConfig.cmake", "-B", cache / "out"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if done.returncode != 0:
            pytest.fail("cpack:\n" + done.stdout.decode(errors="replace"))
        shutil.rmtree(cache / "out" / "_CPack_Packages", ignore_errors=True)
        debs = sorted((cache / "out").glob("*.deb"))
        if made_of:
            (cache / "fingerprint").write_text(made_of)
    if len(debs) != 1:
        pytest.fail("exactly one .deb expected: %s" % debs)
    return debs[0]


@pytest.fixture(scope="module")
def root(deb, scratch):
    """The package's files, extracted, its control files in DEBIAN."""
    subprocess.run(["dpkg-deb", "-R", deb, scratch / "root"], check=True)
    return scratch / "root"


@pytest.fixture(scope="module")
def installed_unit(root, scratch):
    """The unit `lightservice install` writes."""
    (scratch / "units").mkdir()
    with open(scratch / "install.out", "wb") as out:
        subprocess.run([root / "usr/bin/lightservice", "install"], stdout=out, stderr=subprocess.STDOUT,
                       env=dict(os.environ, LIGHTSERVICE_UNIT_DIR=str(scratch / "units"),
                                LIGHTSERVICE_SYSTEMCTL="/bin/true"))
    return scratch / "units" / UNIT


@pytest.fixture(scope="module")
def dpkg(scratch):
    """dpkg with an administrative folder and an installation tree (its .tree) of its own."""
    admin, log = scratch / "dpkg", scratch / "dpkg.log"
    for folder in (admin / "updates", admin / "info", scratch / "inst"):
        folder.mkdir(parents=True)
    (admin / "status").touch()
    (admin / "available").touch()

    def run(*args):
        with open(log, "ab") as out:
            return subprocess.run(["dpkg", "--admindir=%s" % admin, "--instdir=%s" % run.tree, "--force-not-root",
                                   "--force-depends", "--force-script-chrootless", "--log=/dev/null", *args],
                                  stdout=out, stderr=out).returncode == 0
    run.tree = scratch / "inst"
    yield run
    print(read(log).decode(errors="replace"))


class ExtractedService:
    """The extracted service with the simulated chip module placed beside the driver, as a
    developer would do on a machine without the lamp, and its tools."""

    def __init__(self, root, scratch, build, sanitized):
        self.root, self.scratch = root, scratch
        shutil.copy(build / "bin/libWinRing0.so", root / LIB / "libWinRing0.so")
        self.env = dict(os.environ, LAMPSIM_STATE=str(scratch / "chip.state"), XDG_DATA_HOME=str(scratch / "data"))
        if sanitized:
            # A sanitizer runtime interposes dlopen, which then ignores the program's RUNPATH.
            self.env["LD_LIBRARY_PATH"] = str(root / LIB)
        self.output = scratch / "service.out"
        self.program = None

    def lightctl(self, *args):
        done = subprocess.run([self.root / "usr/bin/lightctl", *args], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
        (self.scratch / "lightctl.out").write_bytes(done.stdout)
        return done.returncode, done.stdout.decode(errors="replace")

    def lamp(self, *switch):
        """The lamp, once lightctl has switched it where switch is given."""
        if switch:
            self.lightctl(*switch)
        return output(self.root / "usr/bin/lampview", "--plain", env=self.env)

    def start(self):
        """Runs until it answers. Another program's connection may hold the port for a while
        (TIME_WAIT): it tries again then."""
        for _ in range(35):
            with open(self.output, "wb") as out:
                process = subprocess.Popen([self.root / "usr/bin/lightservice", "run"], env=self.env, stdout=out,
                                           stderr=subprocess.STDOUT)
            for _ in range(50):
                if b"Can't listen" in read(self.output):
                    break
                # The answer must come from this service, not from another one on the port.
                answered = subprocess.run([self.root / "usr/bin/lightctl", "--timeout", "1", "off"], env=self.env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode in (0, 1)
                if answered and re.search(rb"^Client data ", read(self.output), re.M):
                    self.program = Program(process)
                    return
                if process.poll() is not None:
                    break
                time.sleep(0.1)
            process.kill()
            process.wait()
            if b"Can't listen" not in read(self.output):
                break
            time.sleep(2)
        pytest.fail("the extracted service did not answer:\n" + read(self.output).decode(errors="replace"))

    def stop(self):
        ended = self.program.interrupt(wait=5)
        self.program.status()
        self.program = None
        return ended


@pytest.fixture(scope="module")
def service(root, scratch, build, request):
    service = ExtractedService(root, scratch, build, request.config.getoption("--sanitized") == "1")
    service.start()
    yield service
    if service.program:
        service.program.process.kill()
        service.program.status()


@pytest.fixture(scope="module")
def without_driver(service, root):
    """Without its driver library the service answers every request with the loader's failure."""
    (root / LIB / "libBrillLamp.so").unlink()
    service.start()
    before = service.lamp()
    return types.SimpleNamespace(service=service, before=before, answer=service.lightctl("red"))


def field(deb, name):
    return output("dpkg-deb", "-f", deb, name)


def has(pattern, text):
    return re.search(pattern, text) is not None


def packaged_files(f):
    listing = [line.split() for line in output("dpkg-deb", "-c", f.deb).splitlines()]
    return sorted(name for name in (re.sub(r"^\./", "/", line[5]) for line in listing if len(line) > 5)
                  if not name.endswith("/"))


def dynamic(path):
    return output("readelf", "-d", path, stderr=subprocess.DEVNULL)


def empty_runpaths(folder):
    """Programs and libraries below folder with an empty RUNPATH entry, which the loader takes
    for the current directory."""
    found = []
    for path in sorted(folder.rglob("*")):
        if not path.is_file() or path.is_symlink() or "CMakeFiles" in path.relative_to(folder).parts:
            continue
        if not (path.name.endswith(".so") or ".so." in path.name or path.stat().st_mode & 0o100):
            continue
        for paths in re.findall(r"\(R(?:UN)?PATH\).*\[(.*)\]$", dynamic(path), re.M):
            if "::" in ":%s:" % paths:
                found.append("%s: [%s]" % (path, paths))
    return found


def systemd_verify(f):
    """systemd checks that ExecStart exists: the unit is pointed at the extracted program."""
    (f.scratch / "verify").mkdir()
    unit = (f.root / UNITS / UNIT).read_text()
    (f.scratch / "verify" / UNIT).write_text(re.sub(r'^ExecStart="/usr', 'ExecStart="%s/usr' % f.root, unit,
                                                    flags=re.M))
    return subprocess.run(["systemd-analyze", "verify", f.scratch / "verify" / UNIT]).returncode


def without_program(path):
    return [line for line in read(path).decode().splitlines() if not line.startswith("ExecStart=")]


STEPS = [
    ("package name", lambda f: field(f.deb, "Package"), "norvik-light"),
    ("version", lambda f: field(f.deb, "Version") != "", True),
    ("architecture", lambda f: field(f.deb, "Architecture"), lambda f: output("dpkg", "--print-architecture")),
    *[("depends on " + name, lambda f, name=name: has(r"\b%s\b" % re.escape(name), field(f.deb, "Depends")), True)
      for name in DEPENDENCIES],
    ("file list", packaged_files, sorted(FILES)),
    *[(script + " is executable", lambda f, script=script: os.access(f.root / "DEBIAN" / script, os.X_OK), True)
      for script in ("postinst", "prerm", "postrm")],
    # The simulated chip module reads its state file from LAMPSIM_STATE; the hardware one does not.
    ("the port access module is the hardware one",
     lambda f: b"LAMPSIM_STATE" in read(f.root / LIB / "libWinRing0.so"), False),
    ("the simulated module is built but not shipped",
     lambda f: b"LAMPSIM_STATE" in read(f.build / "bin/libWinRing0.so"), True),
    ("lightservice finds its private libraries",
     lambda f: has(r"RUNPATH.*\[\$ORIGIN/\.\./lib/lightservice\]", dynamic(f.root / "usr/bin/lightservice")), True),
    ("the driver finds the module beside it",
     lambda f: has(r"RUNPATH.*\[\$ORIGIN\]", dynamic(f.root / LIB / "libBrillLamp.so")), True),
    ("nothing in the build looks for libraries in the current directory", lambda f: empty_runpaths(f.build), []),
    ("nothing in the package looks for libraries in the current directory", lambda f: empty_runpaths(f.root), []),
    ("the unit starts the installed program",
     lambda f: 'ExecStart="/usr/bin/lightservice"' in (f.root / UNITS / UNIT).read_text().splitlines(), True),
    *([("systemd accepts the unit", systemd_verify, 0)] if shutil.which("systemd-analyze") else []),
]
AS_ROOT = [
    ("lightservice install writes a unit", lambda f: f.installed_unit.is_file(), True),
    ("the shipped unit equals the installed one but for the program path",
     lambda f: without_program(f.root / UNITS / UNIT), lambda f: without_program(f.installed_unit)),
    ("dpkg installs it", lambda f: f.dpkg("-i", f.deb), True),
    ("installed files present", lambda f: (os.access(f.dpkg.tree / "usr/bin/lightservice", os.X_OK),
                                           (f.dpkg.tree / UNITS / UNIT).is_file()), (True, True)),
    ("dpkg removes it", lambda f: f.dpkg("--purge", "norvik-light"), True),
    ("nothing left behind",
     lambda f: [path for path in f.dpkg.tree.rglob("*") if path.is_file() and not path.is_symlink()], []),
    ("lightctl red blue succeeds", lambda f: f.service.lightctl("red", "blue")[0], 0),
    ("the lamp shows red and blue", lambda f: f.service.lamp(), "red=on green=off blue=on"),
    ("the lamp shows green only", lambda f: f.service.lamp("GREEN"), "red=off green=on blue=off"),
    ("a request that is no object exits 1", lambda f: f.service.lightctl("--json", "[true]")[0], 1),
    ("its log text is printed",
     lambda f: contract.notAnObject in read(f.scratch / "lightctl.out").decode().splitlines(), True),
    ("the service ends on SIGINT", lambda f: f.service.stop(), True),
    ("the service wrote its start line", lambda f: contract.serviceStarted.encode() in read(f.service.output), True),
    ("lightctl exits 1 when the lamp is not ready", lambda f: f.without_driver.answer[0], 1),
    ("the service failure text is printed", lambda f: "libBrillLamp.so" in f.without_driver.answer[1], True),
    ("no lamp was switched", lambda f: f.without_driver.service.lamp(), lambda f: f.without_driver.before),
    ("the service ends on SIGINT without its driver", lambda f: f.without_driver.service.stop(), True),
]


@steps(*STEPS, *[row + (needs_root,) for row in AS_ROOT])
def test_step(fixtures, step, expected):
    assert fixtures.outcome(step, expected) == fixtures.want(expected)

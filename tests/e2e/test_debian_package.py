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

import pytest

import contract
from e2e import Program, read

UNIT = "norvik-tessaro-light-velk77.service"
DEPENDENCIES = ["liblog4cpp5v5", "libjsoncpp25", "zlib1g", "libsystemd0"]
FILES = ["/usr/bin/lampview", "/usr/bin/lightctl", "/usr/bin/lightservice", "/usr/lib/lightservice/libBrillLamp.so",
         "/usr/lib/lightservice/libWinRing0.so", "/usr/lib/systemd/system/" + UNIT,
         "/usr/share/doc/norvik-light/README.md", "/usr/share/doc/norvik-light/docs/driver.md",
         "/usr/share/doc/norvik-light/docs/linux.md", "/usr/share/doc/norvik-light/docs/protocol.md"]
needs_root = pytest.mark.skipif(os.getuid() != 0, reason="the rest needs root (lightservice checks for it)")


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


def field(deb, name):
    return subprocess.run(["dpkg-deb", "-f", deb, name], stdout=subprocess.PIPE).stdout.decode().rstrip("\n")


def test_package_name(deb):
    assert field(deb, "Package") == "norvik-light"


def test_version(deb):
    assert field(deb, "Version")


def test_architecture(deb):
    assert field(deb, "Architecture") == subprocess.run(["dpkg", "--print-architecture"],
                                                        stdout=subprocess.PIPE).stdout.decode().strip()


@pytest.mark.parametrize("dependency", DEPENDENCIES)
def test_depends_on(deb, dependency):
    assert re.search(r"\b%s\b" % re.escape(dependency), field(deb, "Depends"))


def test_file_list(deb):
    listing = subprocess.run(["dpkg-deb", "-c", deb], stdout=subprocess.PIPE).stdout.decode().splitlines()
    names = [re.sub(r"^\./", "/", line.split()[5]) for line in listing if len(line.split()) > 5]
    assert sorted(name for name in names if not name.endswith("/")) == sorted(FILES)


@pytest.fixture(scope="module")
def control(deb, scratch):
    subprocess.run(["dpkg-deb", "-e", deb, scratch / "control"], check=True)
    return scratch / "control"


@pytest.mark.parametrize("script", ["postinst", "prerm", "postrm"])
def test_maintainer_script_is_executable(control, script):
    assert os.access(control / script, os.X_OK)


@pytest.fixture(scope="module")
def root(deb, scratch):
    """The package's files, extracted."""
    if subprocess.run(["dpkg-deb", "-x", deb, scratch / "root"]).returncode != 0:
        pytest.fail("extract")
    return scratch / "root"


def test_port_access_module_is_the_hardware_one(root):
    # The simulated chip module reads its state file from LAMPSIM_STATE; the hardware one does not.
    assert b"LAMPSIM_STATE" not in read(root / "usr/lib/lightservice/libWinRing0.so")


def test_simulated_module_is_built_but_not_shipped(build):
    assert b"LAMPSIM_STATE" in read(build / "bin/libWinRing0.so")


def dynamic(path):
    return subprocess.run(["readelf", "-d", path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()


def test_lightservice_finds_its_private_libraries(root):
    assert re.search(r"RUNPATH.*\[\$ORIGIN/\.\./lib/lightservice\]", dynamic(root / "usr/bin/lightservice"))


def test_the_driver_finds_the_module_beside_it(root):
    assert re.search(r"RUNPATH.*\[\$ORIGIN\]", dynamic(root / "usr/lib/lightservice/libBrillLamp.so"))


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


@pytest.mark.parametrize("tree", ["build", "package"])
def test_nothing_looks_for_libraries_in_the_current_directory(build, root, tree):
    assert empty_runpaths(build if tree == "build" else root) == []


def test_unit_starts_the_installed_program(root):
    assert 'ExecStart="/usr/bin/lightservice"' in (root / "usr/lib/systemd/system" / UNIT).read_text().splitlines()


if shutil.which("systemd-analyze"):
    def test_systemd_accepts_the_unit(root, scratch):
        # systemd checks that ExecStart exists: point it at the extracted program.
        (scratch / "verify").mkdir()
        unit = (root / "usr/lib/systemd/system" / UNIT).read_text()
        (scratch / "verify" / UNIT).write_text(re.sub(r'^ExecStart="/usr', 'ExecStart="%s/usr' % root, unit, flags=re.M))
        assert subprocess.run(["systemd-analyze", "verify", scratch / "verify" / UNIT]).returncode == 0


@pytest.fixture(scope="module")
def installed_unit(root, scratch):
    """The unit `lightservice install` writes."""
    (scratch / "units").mkdir()
    with open(scratch / "install.out", "wb") as out:
        subprocess.run([root / "usr/bin/lightservice", "install"], stdout=out, stderr=subprocess.STDOUT,
                       env=dict(os.environ, LIGHTSERVICE_UNIT_DIR=str(scratch / "units"), LIGHTSERVICE_SYSTEMCTL="/bin/true"))
    return scratch / "units" / UNIT


@needs_root
def test_lightservice_install_writes_a_unit(installed_unit):
    assert installed_unit.is_file()


@needs_root
def test_shipped_unit_equals_the_installed_one_but_for_the_program_path(root, installed_unit):
    def without_program(path):
        return [line for line in read(path).decode().splitlines() if not line.startswith("ExecStart=")]
    assert without_program(root / "usr/lib/systemd/system" / UNIT) == without_program(installed_unit)


class ScratchDpkg:
    """dpkg with an administrative folder and an installation tree of its own."""

    def __init__(self, scratch):
        self.scratch, self.admin, self.tree = scratch, scratch / "dpkg", scratch / "inst"
        for folder in (self.admin / "updates", self.admin / "info", self.tree):
            folder.mkdir(parents=True)
        (self.admin / "status").touch()
        (self.admin / "available").touch()

    def __call__(self, *args):
        with open(self.scratch / "dpkg.log", "ab") as log:
            return subprocess.run(["dpkg", "--admindir=%s" % self.admin, "--instdir=%s" % self.tree, "--force-not-root",
                                   "--force-depends", "--force-script-chrootless", "--log=/dev/null", *args],
                                  stdout=log, stderr=log).returncode == 0


@pytest.fixture(scope="module")
def dpkg(scratch):
    yield ScratchDpkg(scratch)
    print(read(scratch / "dpkg.log").decode(errors="replace"))


@needs_root
def test_dpkg_installs_it(dpkg, deb):
    assert dpkg("-i", deb)


@needs_root
def test_installed_files_present(dpkg):
    assert os.access(dpkg.tree / "usr/bin/lightservice", os.X_OK)
    assert (dpkg.tree / "usr/lib/systemd/system" / UNIT).is_file()


@needs_root
def test_dpkg_removes_it(dpkg):
    assert dpkg("--purge", "norvik-light")


@needs_root
def test_nothing_left_behind(dpkg):
    assert [path for path in dpkg.tree.rglob("*") if path.is_file() and not path.is_symlink()] == []


class ExtractedService:
    """The extracted service with the simulated chip module placed beside the driver, as a
    developer would do on a machine without the lamp, and its tools."""

    def __init__(self, root, scratch, build, sanitized):
        self.root, self.scratch = root, scratch
        shutil.copy(build / "bin/libWinRing0.so", root / "usr/lib/lightservice/libWinRing0.so")
        self.env = dict(os.environ, LAMPSIM_STATE=str(scratch / "chip.state"), XDG_DATA_HOME=str(scratch / "data"))
        if sanitized:
            # A sanitizer runtime interposes dlopen, which then ignores the program's RUNPATH.
            self.env["LD_LIBRARY_PATH"] = str(root / "usr/lib/lightservice")
        self.output = scratch / "service.out"
        self.program = None

    def lightctl(self, *args):
        """Its exit status and output."""
        done = subprocess.run([self.root / "usr/bin/lightctl", *args], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
        (self.scratch / "lightctl.out").write_bytes(done.stdout)
        return done.returncode, done.stdout.decode(errors="replace")

    def lamp(self):
        return subprocess.run([self.root / "usr/bin/lampview", "--plain"], env=self.env,
                              stdout=subprocess.PIPE).stdout.decode().rstrip("\n")

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
        """SIGINT, as Ctrl+C in the console; true when it has ended within 5 s."""
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


@needs_root
def test_lightctl_red_blue_succeeds(service):
    assert service.lightctl("red", "blue")[0] == 0


@needs_root
def test_lamp_shows_red_and_blue(service):
    assert service.lamp() == "red=on green=off blue=on"


@needs_root
def test_lamp_shows_green_only(service):
    service.lightctl("GREEN")
    assert service.lamp() == "red=off green=on blue=off"


@needs_root
def test_a_request_that_is_no_object_exits_1(service):
    assert service.lightctl("--json", "[true]")[0] == 1


@needs_root
def test_its_log_text_is_printed(service, scratch):
    assert contract.notAnObject in read(scratch / "lightctl.out").decode().splitlines()


@needs_root
def test_service_ends_on_sigint(service):
    assert service.stop()


@needs_root
def test_service_wrote_its_start_line(service):
    assert contract.serviceStarted.encode() in read(service.output)


@pytest.fixture(scope="module")
def without_driver(service, root):
    """Without its driver library the service answers every request with the loader's failure."""
    (root / "usr/lib/lightservice/libBrillLamp.so").unlink()
    service.start()
    before = service.lamp()
    return service, before, service.lightctl("red")


@needs_root
def test_lightctl_exits_1_when_the_lamp_is_not_ready(without_driver):
    assert without_driver[2][0] == 1


@needs_root
def test_the_services_failure_text_is_printed(without_driver):
    assert "libBrillLamp.so" in without_driver[2][1]


@needs_root
def test_no_lamp_was_switched(without_driver):
    service, before, _ = without_driver
    assert service.lamp() == before


@needs_root
def test_service_ends_on_sigint_without_its_driver(without_driver):
    assert without_driver[0].stop()

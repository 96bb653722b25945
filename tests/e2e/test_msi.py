"""The Windows packages under Wine, in a Wine prefix and a network namespace of their own (the
installed service listens on 127.0.0.1:48888), signed with a throwaway certificate: installed,
upgraded, repaired and removed by the lines of docs/windows-kiosk.md (shipped as README.txt).
Wine runs the build of the architecture this machine executes (scripts/windows-tests.sh links it
first): the kiosk's 32-bit packages from BUILD_DIR/i686, or, where the kernel runs no 32-bit
program, the same packages made for x86_64 in BUILD_DIR/x86_64."""
import importlib.util
import os
import pathlib
import re
import shutil
import subprocess
import types

import pytest

import contract
import e2e
from e2e import EVENT_SOURCE, PORT, ROOT, SERVICE, SERVICE_KEY, eventually, read, steps, windows_path

SESSION = "msi"
# Packages install into the prefix: a whole copy of its own.
LINKED_PREFIX = False
PROGRAM = "C:\\Program Files (x86)\\NORVIK Tessaro Light\\lightservice.exe"
SUBJECT = "NORVIK throwaway test signing"

pytestmark = pytest.mark.skipif(not shutil.which("wine") or not shutil.which("wixl"),
                                reason="wine or wixl is not installed here")


def logged(log, *commands, env=None):
    """True when each command in turn succeeds, their output in log."""
    with open(log, "wb") as out:
        return all(subprocess.run(command, env=env, stdout=out, stderr=subprocess.STDOUT).returncode == 0
                   for command in commands)


@pytest.fixture(scope="module")
def tree(windows_build):
    """The linked build's tree, its packages built there and signed as a release is, with a
    certificate of the test's own (its file returned too)."""
    missing = [tool for tool in ("osslsigncode", "openssl", "msiinfo") if not shutil.which(tool)]
    if missing or not importlib.util.find_spec("pefile"):
        pytest.fail((missing + ["python3-pefile"])[0] + " is not installed here")
    tree = windows_build / (os.environ.get("WINE_ARCH") or e2e.arch())
    if not (tree / "bin" / "lightservice.exe").is_file():
        pytest.fail("%s holds no linked lightservice.exe (run scripts/windows-tests.sh first)" % tree)
    signing = tree.parent / (tree.name + ".signing")
    shutil.rmtree(signing, ignore_errors=True)
    signing.mkdir()
    key, cert, p12 = signing / "key.pem", signing / "cert.pem", signing / "cert.p12"
    if not logged(signing / "openssl.log",
                  ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                   "-days", "2", "-subj", "/CN=" + SUBJECT, "-addext", "extendedKeyUsage=codeSigning",
                   "-addext", "keyUsage=digitalSignature"],
                  ["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", p12,
                   "-passout", "pass:throwaway"]):
        pytest.fail("no test certificate: " + (signing / "openssl.log").read_text())
    env = dict(os.environ, LAMP_SIGN_PKCS12=str(p12), LAMP_SIGN_PASSWORD="throwaway", LAMP_SIGN_TIMESTAMP_URL="",
               LAMP_SIGN_CAFILE="")
    build_log = tree.parent / (tree.name + ".msi.log")
    if not logged(build_log, ["cmake", "--build", tree, "-j", str(min(os.cpu_count(), 2)), "--target", "msi",
                              "msi_test_packages"], env=env):
        errors = [line for line in build_log.read_text(errors="replace").splitlines() if "rror" in line]
        pytest.fail("the packages did not build (%s):\n%s" % (build_log, "\n".join(errors[:20])))
    return tree, cert


@pytest.fixture(scope="module")
def packages(tree):
    folder = tree[0] / "msi"

    def first(pattern, exclude=None):
        found = sorted(path for path in folder.glob(pattern) if not (exclude and re.search(exclude, path.name)))
        return found[0] if found else None
    found = types.SimpleNamespace(
        folder=folder, kiosk=first("norvik-light-[0-9]*.msi"), trial=first("norvik-light-trial-simulated-chip-*.msi"),
        previous=first("test/norvik-light-[0-9]*.msi", "rebuilt|failing"),
        rebuilt=first("test/norvik-light-*-rebuilt.msi"), failing=first("test/norvik-light-*-failing.msi"))
    if not all(vars(found).values()):
        pytest.fail("no packages in %s" % folder)
    return found


def version_of(package):
    return re.sub(r"^norvik-light-([0-9.]+)-.*", r"\1", package.name)


def rows(package, table):
    """The table's rows as msiinfo exports them, without its three heading lines."""
    done = subprocess.run(["msiinfo", "export", package, table], stdout=subprocess.PIPE)
    return done.stdout.decode().replace("\r", "").splitlines()[3:]


def property_of(package, name):
    return "\n".join(row.split("\t")[1] for row in rows(package, "Property") if row.split("\t")[0] == name)


def after(package, action):
    """The action the installer runs next."""
    def order(row):
        number = re.match(r"-?[0-9]*", (row.split("\t") + ["", "", ""])[2]).group()
        return (int(number) if number not in ("", "-") else 0, row)
    names = [row.split("\t")[0] for row in sorted(rows(package, "InstallExecuteSequence"), key=order)]
    return "".join(names[i + 1] for i, name in enumerate(names[:-1]) if name == action)


def files(folder, *patterns):
    """The files each pattern names, or the pattern itself where it names none (for the check to fail on)."""
    return [path for pattern in patterns for path in (sorted(folder.glob(pattern)) or [folder / pattern])]


def readme_line(word):
    """The batch file line of docs/windows-kiosk.md that runs `msiexec WORD` for whatever build is
    installed. wixl marks no component 64-bit: the x64 test package, too, writes the 32-bit view."""
    for line in (ROOT / "docs" / "windows-kiosk.md").read_text().splitlines():
        if re.match(r"for /f .*do msiexec %s " % re.escape(word), line):
            return line.replace("%p", "%%p")
    return ""


@pytest.fixture(scope="module")
def folder(wine):
    """The program folder, as Linux names it."""
    return pathlib.Path(wine.output("winepath", "-u", "C:\\Program Files (x86)\\NORVIK Tessaro Light")
                        or wine.prefix / "drive_c" / "Program Files (x86)" / "NORVIK Tessaro Light")


class Session(e2e.Fixtures):
    """The test's fixtures, and the prefix's installer, service and tools as a technician at the
    kiosk uses them."""

    def log(self, package, action):
        return self.work / (package.name + action.replace("/", ".", 1) + ".log")

    def msiexec(self, action, package, *properties):
        """True when a silent run succeeds."""
        return self.wine.run("msiexec", action, windows_path(package), "/qn", "/l*v",
                             windows_path(self.log(package, action)), *properties, limit=120).returncode == 0

    def lightctl(self, *args):
        """Its exit status and output; its error output kept in lightctl.err."""
        with open(self.work / "lightctl.err", "wb") as err:
            done = self.wine.run(self.folder / "lightctl.exe", *args, stdout=subprocess.PIPE, stderr=err, limit=30)
        return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r", "").rstrip("\n")

    def lampview(self):
        return self.wine.output(self.folder / "lampview.exe", "--plain", stderr=subprocess.STDOUT, limit=30)

    def service_values(self):
        # Windows quotes a program path with spaces, Wine 8 does not.
        return [line.replace('\\"', "") for line in self.wine.registry(SERVICE_KEY).splitlines()
                if line.startswith('"') and "PreshutdownTimeout" not in line]

    def registration(self):
        want = ['"Description"="%s"' % contract.serviceDescription, '"DisplayName"="%s"' % contract.serviceDisplayName,
                '"ErrorControl"=dword:00000001', '"ImagePath"="%s"' % PROGRAM.replace("\\", "\\\\"),
                '"ObjectName"="LocalSystem"', '"Start"=dword:00000002', '"Type"=dword:00000010']
        # The service manager marks a 32-bit service on 64-bit Windows, and Wine does the same.
        return want + (['"WOW64"=dword:00000001'] if self.wine.arch == "i686" else [])

    def products(self):
        """The installed products named NORVIK Tessaro Light, one version a line."""
        shown = "\n".join(self.wine.output("reg", "query", "HKLM\\Software\\%sMicrosoft\\Windows\\CurrentVersion"
                                            "\\Uninstall" % view, "/s") for view in ("", "Wow6432Node\\"))
        return "\n".join(sorted({version for key in re.split(r"^HKEY", shown, flags=re.M) for version in re.findall(
            r"DisplayName +REG_SZ +NORVIK Tessaro Light$.*?DisplayVersion +\S+ +(\S+)", key, re.M | re.S)}))

    def signed(self, *files):
        """Each carries a signature that verifies against the throwaway certificate alone."""
        for name in files:
            done = subprocess.run(["osslsigncode", "verify", "-in", name, "-CAfile", self.tree[1]],
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            (self.work / "verify.log").write_bytes(done.stdout)
            if done.returncode != 0 or b"Subject: /CN=" + SUBJECT.encode() not in done.stdout:
                print("no good signature: %s\n%s" % (name, done.stdout.decode(errors="replace")[-400:]))
                return False
        return True

    def tampered(self):
        image = bytearray((self.packages.folder / "kiosk" / "lightservice.exe").read_bytes())
        image[len(image) // 2] = (image[len(image) // 2] + 1) % 256
        (self.work / "tampered.exe").write_bytes(image)
        return self.work / "tampered.exe"

    def version_resources(self):
        """Those of the installed programs and libraries, a description that begins with a capital as D."""
        return [re.sub(r"(FileDescription=)[A-Z].*( OriginalFilename=)", r"\1D\2", subprocess.run(
            ["/usr/bin/python3", ROOT / "tests" / "support" / "pe_version.py", image],
            stdout=subprocess.PIPE).stdout.decode().rstrip("\n")) for image in files(self.folder, "*.exe", "*.dll")]

    def product_version_resources(self):
        product, version = (property_of(self.packages.kiosk, name) for name in ("ProductName", "ProductVersion"))
        return ["%s: fixed=%s.0 ProductName=%s ProductVersion=%s FileVersion=%s FileDescription=D OriginalFilename=%s "
                "CompanyName=NORVIK" % (image.name, version, product, version, version, image.name)
                for image in files(self.folder, "*.exe", "*.dll")]

    def event_source(self):
        """The event source's values, one "NAME TYPE DATA" a line."""
        shown = self.wine.output("reg", "query", EVENT_SOURCE)
        return "\n".join(re.sub(" {4}", " ", line[4:]) for line in shown.splitlines() if re.match(r" {4}[^ ]", line))

    def run_batch(self, name, line):
        """The line run by Wine's cmd as a batch file."""
        (self.work / (name + ".bat")).write_bytes(b"@echo off\r\n" + line.encode() + b"\r\n")
        with open(self.work / (name + ".out"), "wb") as out:
            return self.wine.run("cmd", "/c", windows_path(self.work / (name + ".bat")), stdout=out,
                                 stderr=subprocess.STDOUT, limit=120).returncode == 0

    def listening(self):
        done = subprocess.run(["ss", "-Hltn", "sport = :%d" % PORT], stdout=subprocess.PIPE)
        return str(PORT).encode() in done.stdout

    def windows(self, version):
        """`ver` once winecfg has made the prefix the version."""
        self.wine.run("winecfg", "-v", version)
        return self.wine.output("cmd", "/c", "ver")

    def noted(self):
        """Itself, what Wine left printed."""
        print("Wine left: products '%s', service registered %s, port open %s" % (
            self.products().replace("\n", " "), self.service_values() == self.registration(), self.listening()))
        return self


@pytest.fixture
def fixtures(request):
    return Session(request)


@steps(
    ("the old version is removed inside the transaction before anything is written",
     lambda s: after(s.packages.kiosk, "InstallInitialize"), "RemoveExistingProducts"),
    ("failure actions configured between installing and starting the service",
     lambda s: after(s.packages.kiosk, "InstallServices") + after(s.packages.kiosk, "MsiConfigureServices"),
     "MsiConfigureServicesStartServices"),
    ("failure actions restart after 5 s 5 s 60 s and reset after a day",
     lambda s: rows(s.packages.kiosk, "MsiServiceConfigFailureActions"),
     ["LightServiceRecovery\t%s\t1\t86400\t\t\t1[~]1[~]1\t5000[~]5000[~]60000\tService" % SERVICE]),
    ("Windows 7 or later", lambda s: any(re.fullmatch(r"Installed OR VersionNT >= 601\t.*Windows 7 or later.", row)
                                         for row in rows(s.packages.kiosk, "LaunchCondition")), True),
)
def test_package(fixtures, step, expected):
    assert fixtures.outcome(step, expected) == expected


def install(package):
    return lambda s: s.msiexec("/i", getattr(s.packages, package))


def new_version(s):
    return version_of(s.packages.kiosk)


@steps(
    ("every program library and package signed", lambda s: s.signed(*files(
        s.packages.folder, "kiosk/*.exe", "kiosk/*.dll", "trial/WinRing0.dll", "*.msi", "test/*.msi")), True),
    ("a changed program fails verification", lambda s: s.signed(s.tampered()), False),
    ("Wine reports Windows Vista", lambda s: "Windows 6.0." in s.windows("vista"), True),
    ("install refused on Windows Vista", install("kiosk"), False),
    # The log is UTF-16 on Windows, 8-bit text in Wine; success is 1.
    ("refused by its launch conditions", lambda s: re.search(rb"LaunchConditions\. Return value [^1]", s.log(
        s.packages.kiosk, "/i").read_bytes().replace(b"\0", b"")) is not None, True),
    ("nothing installed", Session.products, ""),
    ("Windows 10 again", lambda s: "Windows 10." in s.windows("win10"), True),
    ("the simulated chip alone is refused without the service", install("trial"), False),
    ("install the lower version", install("previous"), True),
    ("service registered with its settings", Session.service_values, Session.registration),
    ("one product the lower version", Session.products, lambda s: version_of(s.packages.previous)),
    ("event source registered", Session.event_source,
     "EventMessageFile REG_EXPAND_SZ %s\nTypesSupported REG_DWORD 0x7" % PROGRAM),
    ("installed files signed", lambda s: s.signed(*files(s.folder, "*.exe", "*.dll")), True),
    # Without a port-access module the service runs and says why the lamp is not there.
    ("answers without a lamp", lambda s: s.lightctl("red"), (1, contract.initialisationFailed)),
    ("install the trial package", install("trial"), True),
    ("red switched", lambda s: s.lightctl("red"), (0, "")),
    ("lampview reads red", Session.lampview, "red=on green=off blue=off"),
    ("version resources name the product and version", Session.version_resources,
     Session.product_version_resources),
    ("upgrade", install("kiosk"), True),
    ("one product the new version", Session.products, new_version),
    ("service registered after the upgrade", Session.service_values, Session.registration),
    # A new service process initialised the lamp again.
    ("lamp initialised again", Session.lampview, "red=off green=off blue=off"),
    ("green and blue switched", lambda s: s.lightctl("green", "BLUE"), (0, "")),
    ("lampview reads green and blue", Session.lampview, "red=off green=on blue=on"),
    # Each build of a package is a product of its own: it must replace the installed one.
    ("install the same version built again", install("rebuilt"), True),
    ("still one product the new version", Session.products, new_version),
    ("service registered after the reinstall", Session.service_values, Session.registration),
    ("service answers after the reinstall", lambda s: s.lightctl("green", "blue"), (0, "")),
    # Its new service dies at start.
    ("a failing upgrade ends in failure", install("failing"), False),
    ("the failed version is not left installed",
     lambda s: version_of(s.packages.failing) in s.products().splitlines(), False),
    # Windows Installer rolls the removal of the installed version back with the rest of the run
    # (it runs inside the transaction); Wine 8 runs that removal as an installation of its own,
    # which its rollback does not undo, so here the old version is gone too.
    ("install the new version again after the failed upgrade",
     lambda s: s.noted().msiexec("/i", s.packages.rebuilt), True),
    ("service answers again", lambda s: (eventually(s.listening, tries=50, pause=0.2), s.lightctl("red")),
     (True, (0, ""))),
    # Wine's msiexec does not repair by product code ("Product code treatment not implemented
    # yet"): the line is run as far as the command it would give.
    ("the readme repair line names the installed build", lambda s: (
        s.run_batch("repair", readme_line("/fa").replace(" do msiexec ", " do echo msiexec ")),
        (s.work / "repair.out").read_text().replace("\r", "").rstrip("\n")),
     lambda s: (True, "msiexec /fa %s /qn" % property_of(s.packages.rebuilt, "ProductCode"))),
    ("lightctl wrong member type answers 1", lambda s: s.lightctl("--json", '{"red":"yes"}'),
     (1, contract.redWrongType)),
    ("lightctl usage error exits 64", lambda s: s.lightctl("purple"), (64, "")),
    ("lightctl no service exits 2", lambda s: s.lightctl("--port", "1", "red"), (2, "")),
    ("lightctl no service is named",
     lambda s: b"cannot reach the light service on 127.0.0.1:1" in read(s.work / "lightctl.err"), True),
    ("the readme remove line", lambda s: s.run_batch("remove", readme_line("/x")), True),
    ("service deleted", lambda s: s.wine.has_key(SERVICE_KEY), False),
    ("event source removed", lambda s: s.wine.has_key(EVENT_SOURCE), False),
    ("product code key removed",
     lambda s: s.wine.has_key("HKLM\\SOFTWARE\\NORVIK\\NORVIK Tessaro Light", "/reg:32"), False),
    ("port closed", Session.listening, False),
    ("no product left", Session.products, ""),
    ("only the trial files left", lambda s: sorted(os.listdir(s.folder)), ["WinRing0.dll", "lampsim.state"]),
    ("uninstall the trial package", lambda s: s.msiexec("/x", s.packages.trial), True),
    ("program folder gone", lambda s: s.folder.exists(), False),
)
def test_session(fixtures, step, expected):
    assert fixtures.outcome(step, expected) == fixtures.want(expected)

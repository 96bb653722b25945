"""The Windows packages under Wine, in a Wine prefix and a network namespace of their own (the
installed service listens on 127.0.0.1:48888): their tables, signatures (made with a throwaway
certificate) and version resources, install, the service's registration and event source, the
lamp switched with lightctl.exe and read with lampview.exe through the simulated chip package, an
upgrade from a package of a lower version, a failing upgrade, repair and removal by the lines of
docs/windows-kiosk.md, which the package ships as its README.txt.
Wine runs the build of the architecture this machine executes (scripts/windows-tests.sh links it
first): the kiosk's 32-bit packages from BUILD_DIR/i686, or, where the kernel runs no 32-bit
program, the same packages made for x86_64 in BUILD_DIR/x86_64."""
import importlib.util
import os
import re
import shutil
import subprocess

import pytest

import contract
import e2e
from e2e import ROOT, windows_path

SESSION = "msi"
# Packages install into the prefix: a whole copy of its own.
LINKED_PREFIX = False
SERVICE = "norvik-tessaro-light-velk77"
SERVICE_KEY = "HKLM\\System\\CurrentControlSet\\Services\\" + SERVICE
EVENT_SOURCE_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + SERVICE
PROGRAM = "C:\\Program Files (x86)\\NORVIK Tessaro Light\\lightservice.exe"
SUBJECT = "NORVIK throwaway test signing"

pytestmark = pytest.mark.skipif(not shutil.which("wine") or not shutil.which("wixl"),
                                reason="wine or wixl is not installed here")


@pytest.fixture(scope="module")
def tree(windows_build):
    """The linked build's tree, its packages built there and signed as a release is, with a
    certificate of the test's own (its file returned too)."""
    for tool in ("osslsigncode", "openssl", "msiinfo"):
        if not shutil.which(tool):
            pytest.fail(tool + " is not installed here")
    if not importlib.util.find_spec("pefile"):
        pytest.fail("python3-pefile is not installed here")
    tree = windows_build / (os.environ.get("WINE_ARCH") or e2e.arch())
    if not (tree / "bin" / "lightservice.exe").is_file():
        pytest.fail("%s holds no linked lightservice.exe (run scripts/windows-tests.sh first)" % tree)
    signing = tree.parent / (tree.name + ".signing")
    shutil.rmtree(signing, ignore_errors=True)
    signing.mkdir()
    with open(signing / "openssl.log", "wb") as log:
        made = subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", signing / "key.pem",
                               "-out", signing / "cert.pem", "-days", "2", "-subj", "/CN=" + SUBJECT,
                               "-addext", "extendedKeyUsage=codeSigning", "-addext", "keyUsage=digitalSignature"],
                              stdout=log, stderr=log).returncode == 0 and \
            subprocess.run(["openssl", "pkcs12", "-export", "-inkey", signing / "key.pem", "-in", signing / "cert.pem",
                            "-out", signing / "cert.p12", "-passout", "pass:throwaway"], stdout=log, stderr=log).returncode == 0
    if not made:
        pytest.fail("no test certificate: " + (signing / "openssl.log").read_text())
    env = dict(os.environ, LAMP_SIGN_PKCS12=str(signing / "cert.p12"), LAMP_SIGN_PASSWORD="throwaway",
               LAMP_SIGN_TIMESTAMP_URL="", LAMP_SIGN_CAFILE="")
    build_log = tree.parent / (tree.name + ".msi.log")
    with open(build_log, "wb") as log:
        built = subprocess.run(["cmake", "--build", tree, "-j", str(min(os.cpu_count(), 2)), "--target", "msi",
                                "msi_test_packages"], env=env, stdout=log, stderr=subprocess.STDOUT).returncode == 0
    if not built:
        errors = [line for line in build_log.read_text(errors="replace").splitlines() if "rror" in line]
        pytest.fail("the packages did not build (%s):\n%s" % (build_log, "\n".join(errors[:20])))
    return tree, signing / "cert.pem"


class Packages:
    def __init__(self, folder):
        self.folder = folder

        def first(pattern, exclude=None):
            found = sorted(path for path in folder.glob(pattern) if not (exclude and re.search(exclude, path.name)))
            return found[0] if found else None
        self.kiosk = first("norvik-light-[0-9]*.msi")
        self.trial = first("norvik-light-trial-simulated-chip-*.msi")
        self.previous = first("test/norvik-light-[0-9]*.msi", "rebuilt|failing")
        self.rebuilt = first("test/norvik-light-*-rebuilt.msi")
        self.failing = first("test/norvik-light-*-failing.msi")

    def complete(self):
        return all((self.kiosk, self.trial, self.previous, self.rebuilt, self.failing))


def version_of(package):
    return re.sub(r"^norvik-light-([0-9.]+)-.*", r"\1", package.name)


@pytest.fixture(scope="module")
def packages(tree):
    found = Packages(tree[0] / "msi")
    if not found.complete():
        pytest.fail("no packages in %s" % found.folder)
    return found


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


class Session:
    """The prefix's installer, service and tools, as a technician at the kiosk uses them."""

    def __init__(self, wine, work, tree, cert):
        self.wine, self.work, self.tree, self.cert = wine, work, tree, cert
        self.folder = wine.prefix / "drive_c" / "Program Files (x86)" / "NORVIK Tessaro Light"
        shown = wine.output("winepath", "-u", "C:\\Program Files (x86)\\NORVIK Tessaro Light")
        if shown:
            self.folder = type(self.folder)(shown)

    def msiexec(self, action, package, *properties):
        """True when a silent run succeeds."""
        log = self.work / (package.name + action.replace("/", ".", 1) + ".log")
        return self.wine.run("msiexec", action, windows_path(package), "/qn", "/l*v", windows_path(log), *properties,
                             limit=120).returncode == 0

    def lightctl(self, *args):
        """Its exit status, output and error output."""
        with open(self.work / "lightctl.err", "wb") as err:
            done = self.wine.run(self.folder / "lightctl.exe", *args, stdout=subprocess.PIPE, stderr=err, limit=30)
        shown = done.stdout.decode("utf-8", "replace").replace("\r", "").rstrip("\n")
        return done.returncode, shown, (self.work / "lightctl.err").read_text(errors="replace").replace("\r", "")

    def lampview(self):
        return self.wine.output(self.folder / "lampview.exe", "--plain", stderr=subprocess.STDOUT, limit=30)

    def service_values(self):
        """The service's key as `reg export` writes it (UTF-16, so the Cyrillic description survives)."""
        export = self.work / "service.reg"
        export.unlink(missing_ok=True)
        if self.wine.run("reg", "export", SERVICE_KEY, windows_path(export), "/y").returncode != 0:
            return []
        text = export.read_bytes().decode("utf-16").replace("\r", "")
        # Windows quotes a program path with spaces, Wine 8 does not.
        return [line.replace('\\"', "") for line in text.splitlines()
                if line.startswith('"') and "PreshutdownTimeout" not in line]

    def registered(self):
        want = ['"Description"="%s"' % contract.serviceDescription, '"DisplayName"="%s"' % contract.serviceDisplayName,
                '"ErrorControl"=dword:00000001', '"ImagePath"="%s"' % PROGRAM.replace("\\", "\\\\"),
                '"ObjectName"="LocalSystem"', '"Start"=dword:00000002', '"Type"=dword:00000010']
        # The service manager marks a 32-bit service on 64-bit Windows, and Wine does the same.
        if self.wine.arch == "i686":
            want.append('"WOW64"=dword:00000001')
        return self.service_values() == want

    def unregistered(self):
        return self.wine.run("reg", "query", SERVICE_KEY).returncode != 0

    def products(self):
        """The installed products named NORVIK Tessaro Light, one version a line."""
        shown = "".join(self.wine.output("reg", "query", key, "/s") + "\n" for key in (
            "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
            "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"))
        versions, named = set(), False
        for line in shown.splitlines():
            if line.startswith("HKEY"):
                named = False
            if re.search(r"DisplayName +REG_SZ +NORVIK Tessaro Light$", line):
                named = True
            if named and "DisplayVersion" in line:
                versions.add(line.split()[2])
                named = False
        return "\n".join(sorted(versions))

    def signed(self, *files):
        """Each carries a signature that verifies against the throwaway certificate alone."""
        for name in files:
            done = subprocess.run(["osslsigncode", "verify", "-in", name, "-CAfile", self.cert],
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            (self.work / "verify.log").write_bytes(done.stdout)
            if done.returncode != 0 or b"Subject: /CN=" + SUBJECT.encode() not in done.stdout:
                print("no good signature: %s\n%s" % (name, done.stdout.decode(errors="replace")[-400:]))
                return False
        return True

    def event_source(self):
        """The event source's values, one "NAME TYPE DATA" a line."""
        shown = self.wine.output("reg", "query", EVENT_SOURCE_KEY)
        return "\n".join(re.sub(" {4}", " ", line[4:]) for line in shown.splitlines() if re.match(r" {4}[^ ]", line))

    def run_batch(self, name, line):
        """The line run by Wine's cmd as a batch file."""
        (self.work / (name + ".bat")).write_bytes(b"@echo off\r\n" + line.encode() + b"\r\n")
        with open(self.work / (name + ".out"), "wb") as out:
            return self.wine.run("cmd", "/c", windows_path(self.work / (name + ".bat")), stdout=out,
                                 stderr=subprocess.STDOUT, limit=120).returncode == 0

    def listening(self):
        done = subprocess.run(["ss", "-Hltn", "sport = :%d" % e2e.PORT], stdout=subprocess.PIPE)
        return str(e2e.PORT).encode() in done.stdout

    def windows_version(self):
        return self.wine.output("cmd", "/c", "ver")


def files(folder, *patterns):
    """The files each pattern names, or the pattern itself where it names none (as the shell
    passes it on, for the check to fail on it)."""
    return [path for pattern in patterns for path in (sorted(folder.glob(pattern)) or [folder / pattern])]


def readme_line(word):
    """The line of docs/windows-kiosk.md that runs `msiexec WORD` for whatever build is installed,
    as a batch file's line. wixl marks no component 64-bit: the x64 test package, too, writes the
    32-bit view."""
    for line in (ROOT / "docs" / "windows-kiosk.md").read_text().splitlines():
        if re.match(r"for /f .*do msiexec %s " % re.escape(word), line):
            return line.replace("%p", "%%p")
    return ""


@pytest.fixture(scope="module")
def msi(tree, packages, wine, work):
    return Session(wine, work, *tree)


def test_the_old_version_is_removed_inside_the_transaction_before_anything_is_written(packages):
    assert after(packages.kiosk, "InstallInitialize") == "RemoveExistingProducts"


def test_failure_actions_configured_between_installing_and_starting_the_service(packages):
    assert after(packages.kiosk, "InstallServices") + after(packages.kiosk, "MsiConfigureServices") == \
        "MsiConfigureServicesStartServices"


def test_failure_actions_restart_after_5_s_5_s_60_s_reset_after_a_day(packages):
    assert rows(packages.kiosk, "MsiServiceConfigFailureActions") == \
        ["LightServiceRecovery\t%s\t1\t86400\t\t\t1[~]1[~]1\t5000[~]5000[~]60000\tService" % SERVICE]


def test_windows_7_or_later(packages):
    assert any(re.fullmatch(r"Installed OR VersionNT >= 601\t.*Windows 7 or later.", row)
               for row in rows(packages.kiosk, "LaunchCondition"))


def test_every_program_library_and_package_signed(msi, packages):
    assert msi.signed(*files(packages.folder, "kiosk/*.exe", "kiosk/*.dll", "trial/WinRing0.dll", "*.msi", "test/*.msi"))


def test_a_changed_program_fails_verification(msi, packages, work):
    # One byte of the signed program changed.
    image = bytearray((packages.folder / "kiosk" / "lightservice.exe").read_bytes())
    image[len(image) // 2] = (image[len(image) // 2] + 1) % 256
    (work / "tampered.exe").write_bytes(image)
    assert not msi.signed(work / "tampered.exe")


def test_wine_reports_windows_vista(msi):
    msi.wine.run("winecfg", "-v", "vista")
    assert "Windows 6.0." in msi.windows_version()


def test_install_refused_on_windows_vista(msi, packages):
    assert not msi.msiexec("/i", packages.kiosk)


def test_refused_by_its_launch_conditions(msi, packages, work):
    # The log is UTF-16 on Windows, 8-bit text in Wine; success is 1.
    log = (work / (packages.kiosk.name + ".i.log")).read_bytes().replace(b"\0", b"")
    assert re.search(rb"LaunchConditions\. Return value [^1]", log)


def test_nothing_installed(msi):
    assert msi.products() == ""


def test_windows_10_again(msi):
    msi.wine.run("winecfg", "-v", "win10")
    assert "Windows 10." in msi.windows_version()


def test_the_simulated_chip_alone_is_refused_without_the_service(msi, packages):
    assert not msi.msiexec("/i", packages.trial)


def test_install_the_lower_version(msi, packages):
    assert msi.msiexec("/i", packages.previous)


def test_service_registered_with_its_settings(msi):
    assert msi.registered()


def test_one_product_the_lower_version(msi, packages):
    assert msi.products() == version_of(packages.previous)


def test_event_source_registered(msi):
    assert msi.event_source() == "EventMessageFile REG_EXPAND_SZ %s\nTypesSupported REG_DWORD 0x7" % PROGRAM


def test_installed_files_signed(msi):
    assert msi.signed(*files(msi.folder, "*.exe", "*.dll"))


def test_answers_without_a_lamp(msi):
    # Without a port-access module the service runs and says why the lamp is not there.
    assert msi.lightctl("red")[:2] == (1, contract.initialisationFailed)


def test_install_the_trial_package(msi, packages):
    assert msi.msiexec("/i", packages.trial)


def test_red_switched(msi):
    assert msi.lightctl("red")[:2] == (0, "")


def test_lampview_reads_red(msi):
    assert msi.lampview() == "red=on green=off blue=off"


def test_version_resources_name_the_product_and_version(msi, packages):
    product, version = property_of(packages.kiosk, "ProductName"), property_of(packages.kiosk, "ProductVersion")
    for image in files(msi.folder, "*.exe", "*.dll"):
        seen = subprocess.run(["/usr/bin/python3", ROOT / "tests" / "support" / "pe_version.py", image],
                              stdout=subprocess.PIPE).stdout.decode().rstrip("\n")
        assert re.fullmatch(re.escape("%s: fixed=%s.0 ProductName=%s ProductVersion=%s FileVersion=%s FileDescription="
                                      % (image.name, version, product, version, version)) + "[A-Z].*" +
                            re.escape(" OriginalFilename=%s CompanyName=NORVIK" % image.name), seen), seen


def test_upgrade(msi, packages):
    assert msi.msiexec("/i", packages.kiosk)


def test_one_product_the_new_version(msi, packages):
    assert msi.products() == version_of(packages.kiosk)


def test_service_registered_after_the_upgrade(msi):
    assert msi.registered()


def test_lamp_initialised_again(msi):
    # A new service process initialised the lamp again: all colours off.
    assert msi.lampview() == "red=off green=off blue=off"


def test_green_and_blue_switched(msi):
    assert msi.lightctl("green", "BLUE")[:2] == (0, "")


def test_lampview_reads_green_and_blue(msi):
    assert msi.lampview() == "red=off green=on blue=on"


def test_install_the_same_version_built_again(msi, packages):
    # Each build of a package is a product of its own: it must replace the installed one.
    assert msi.msiexec("/i", packages.rebuilt)


def test_still_one_product_the_new_version(msi, packages):
    assert msi.products() == version_of(packages.kiosk)


def test_service_registered_after_the_reinstall(msi):
    assert msi.registered()


def test_service_answers_after_the_reinstall(msi):
    assert msi.lightctl("green", "blue")[:2] == (0, "")


def test_a_failing_upgrade_ends_in_failure(msi, packages):
    # Its new service dies at start.
    assert not msi.msiexec("/i", packages.failing)


def test_the_failed_version_is_not_left_installed(msi, packages):
    assert version_of(packages.failing) not in msi.products().splitlines()


def test_install_the_new_version_again_after_the_failed_upgrade(msi, packages):
    # Windows Installer rolls the removal of the installed version back with the rest of the run
    # (it runs inside the transaction); Wine 8 runs that removal as an installation of its own,
    # which its rollback does not undo, so here the old version is gone too.
    print("Wine left: products '%s', service %s, port %s" % (
        msi.products().replace("\n", " "), "registered" if msi.registered() else "not registered",
        "open" if msi.listening() else "closed"))
    assert msi.msiexec("/i", packages.rebuilt)


def test_service_answers_again(msi):
    assert e2e.eventually(msi.listening, tries=50, pause=0.2)
    assert msi.lightctl("red")[:2] == (0, "")


def test_the_readmes_repair_line_names_the_installed_build(msi, packages, work):
    # Wine's msiexec does not repair by product code ("Product code treatment not implemented
    # yet"): the line is run as far as the command it would give.
    assert msi.run_batch("repair", readme_line("/fa").replace(" do msiexec ", " do echo msiexec "))
    assert (work / "repair.out").read_text().replace("\r", "").rstrip("\n") == \
        "msiexec /fa %s /qn" % property_of(packages.rebuilt, "ProductCode")


def test_lightctl_wrong_member_type_answers_1(msi):
    assert msi.lightctl("--json", '{"red":"yes"}')[:2] == (1, contract.redWrongType)


def test_lightctl_usage_error_exits_64(msi):
    assert msi.lightctl("purple")[:2] == (64, "")


def test_lightctl_no_service_exits_2(msi):
    assert msi.lightctl("--port", "1", "red")[:2] == (2, "")


def test_lightctl_no_service_is_named(msi, work):
    assert "cannot reach the light service on 127.0.0.1:1" in (work / "lightctl.err").read_text(errors="replace")


def test_the_readmes_remove_line(msi):
    assert msi.run_batch("remove", readme_line("/x"))


def test_service_deleted(msi):
    assert msi.unregistered()


def test_event_source_removed(msi):
    assert msi.wine.run("reg", "query", EVENT_SOURCE_KEY).returncode != 0


def test_product_code_key_removed(msi):
    assert msi.wine.run("reg", "query", "HKLM\\SOFTWARE\\NORVIK\\NORVIK Tessaro Light", "/reg:32").returncode != 0


def test_port_closed(msi):
    assert not msi.listening()


def test_no_product_left(msi):
    assert msi.products() == ""


def test_only_the_trial_files_left(msi):
    assert sorted(os.listdir(msi.folder)) == ["WinRing0.dll", "lampsim.state"]


def test_uninstall_the_trial_package(msi, packages):
    assert msi.msiexec("/x", packages.trial)


def test_program_folder_gone(msi):
    assert not msi.folder.exists()

#if !defined(_WIN32)

#include "service/ServiceInstaller.h"

#include "service/ServiceTexts.h"
#include "utils/handle/PosixDescriptor.h"
#include "utils/loader/ProgramPath.h"
#include "utils/text/StringUtils.h"

#include <systemd/sd-daemon.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Norvik {

namespace {

using Utils::StringUtils::toNarrow;

std::string environmentOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

unsigned long installErrorFor(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return AccessDenied;
    case ENAMETOOLONG:
        return InvalidName;
    case EEXIST:
        return ServiceExists;
    default:
        return UndefinedInstallError;
    }
}

// The text of the unit, from the same template that the package's unit is made of; the
// template quotes the program of ExecStart.
const char* const unitTemplate =
#include "service/LightServiceUnit.inc"
    ;

// In the quoted program name of ExecStart only "%" needs escaping ("$" stays literal there);
// quotes and backslashes are refused by systemd, so such a path cannot be installed.
std::string escapedProgram(const std::string& path)
{
    std::string escaped;
    for (char c : path)
        escaped += c == '%' ? std::string("%%") : std::string(1, c);
    return escaped;
}

bool installablePath(const std::string& path)
{
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\'' || c == '\\')
            return false;
    }
    return true;
}

// The unit a package or `cmake --install` placed beside the program: <prefix>/lib/systemd/system
// for <prefix>/bin/lightservice. It belongs to the package; none when the path is unknown.
std::string packagedUnitPath(const std::string& program, const std::string& unitName)
{
    const std::size_t slash = program.rfind('/');
    if (program.empty() || slash == std::string::npos)
        return std::string();
    return program.substr(0, slash + 1) + LIGHTSERVICE_PACKAGED_UNIT_DIR + "/" + unitName;
}

bool isFile(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

class PosixServiceInstaller : public ServiceInstaller {
public:
    PosixServiceInstaller()
        : unitDirectory(environmentOr("LIGHTSERVICE_UNIT_DIR", "/etc/systemd/system")),
          systemctl(environmentOr("LIGHTSERVICE_SYSTEMCTL", "systemctl")),
          unitName(toNarrow(serviceName, Utils::StringUtils::Utf8) + ".service"),
          unitPath(unitDirectory + "/" + unitName), packagedUnit(packagedUnitPath(programPath(), unitName))
    {
    }

    void install() override
    {
        if (!directoryReachable()) {
            printLine(Texts::cantOpenManager);
            return;
        }
        const std::string program = programPath();
        if (program.empty() || !installablePath(program)) {
            printLine(installErrorLine(program.empty() ? UndefinedInstallError : InvalidName));
            return;
        }
        const int error = writeUnit(unitContents(program));
        if (error != 0) {
            printLine(installErrorLine(installErrorFor(error)));
            return;
        }
        if (runSystemctl("enable") != 0) {
            // A unit that is not enabled would not start with the system: leave nothing behind.
            ::unlink(unitPath.c_str());
            printLine(installErrorLine(UndefinedInstallError));
            return;
        }
        printLine(Texts::installed);
    }

    void remove() override
    {
        if (!directoryReachable()) {
            printLine(Texts::cantOpenManager);
            return;
        }
        struct stat info;
        if (::lstat(unitPath.c_str(), &info) != 0) {
            removePackagedUnit();
            return;
        }
        // A running service is not stopped; it only loses its unit.
        runSystemctl("disable");
        if (::unlink(unitPath.c_str()) != 0) {
            printLine(Texts::cantRemove);
            return;
        }
        if (sd_booted() > 0)
            runSystemctl("daemon-reload", false);
        printLine(Texts::removed);
    }

    void start() override
    {
        struct stat info;
        const bool installed = ::stat(unitPath.c_str(), &info) == 0 || isFile(packagedUnit);
        if (!installed || runSystemctl("start") != 0)
            printLine(Texts::cantStart);
    }

private:
    // The package's unit file stays (dpkg owns it): the service is taken out of use instead, stopped
    // and no longer started with the system, until it is enabled again or the package is removed.
    void removePackagedUnit() const
    {
        if (!isFile(packagedUnit) || runSystemctl("disable") != 0) {
            printLine(Texts::cantRemove);
            return;
        }
        if (runSystemctl("stop") != 0) {
            printLine(Texts::cantRemove);
            return;
        }
        printLine(Texts::removed);
    }

    bool directoryReachable() const
    {
        struct stat info;
        return ::stat(unitDirectory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    // The unit template with the program in ExecStart.
    static std::string unitContents(const std::string& program)
    {
        static const std::string placeholder = "@LIGHTSERVICE_PROGRAM@";
        std::string text = unitTemplate;
        const std::size_t at = text.find(placeholder);
        if (at != std::string::npos)
            text.replace(at, placeholder.size(), escapedProgram(program));
        return text;
    }

    // 0, or the errno of the failure; a partly written unit is removed.
    int writeUnit(const std::string& text) const
    {
        Utils::UniqueFd file(::open(unitPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (!file)
            return errno;
        size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(file.get(), text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int error = n < 0 ? errno : EIO;
                ::unlink(unitPath.c_str());
                return error;
            }
            written += static_cast<size_t>(n);
        }
        // The result of close, which can report a failed write-back.
        if (::close(file.release()) != 0) {
            const int error = errno;
            ::unlink(unitPath.c_str());
            return error;
        }
        return 0;
    }

    // The exit status of "systemctl VERB [unit]", or -1 when it could not be run. Its standard
    // output goes to standard error so that ours keeps only the program's own lines.
    int runSystemctl(const char* verb, bool withUnit = true) const
    {
        std::string verbText = verb;
        std::string unitText = unitName;
        char* arguments[] = {const_cast<char*>(systemctl.c_str()), &verbText[0], withUnit ? &unitText[0] : nullptr,
                             nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
        pid_t child = -1;
        const int spawned = posix_spawnp(&child, systemctl.c_str(), &actions, nullptr, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return -1;
        int status = 0;
        while (::waitpid(child, &status, 0) < 0) {
            if (errno != EINTR)
                return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string unitDirectory;
    const std::string systemctl;
    const std::string unitName;
    const std::string unitPath;
    const std::string packagedUnit;
};

} // namespace

ServiceInstaller* ServiceInstaller::create()
{
    return new PosixServiceInstaller();
}

} // namespace Norvik

#endif

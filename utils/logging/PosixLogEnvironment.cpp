#if !defined(_WIN32)

#include "utils/logging/LogEnvironment.h"
#include "utils/text/StringUtils.h"

#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace Norvik::Utils::LogEnvironment {

namespace {

namespace SU = StringUtils;

std::string narrow(const std::wstring& path)
{
    return SU::toNarrow(path, SU::Utf8);
}

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

const wchar_t* const pathSeparators = L"/";
const wchar_t directorySeparator = L'/';

std::int64_t modificationStamp(const std::wstring& path)
{
    struct stat status {};
    if (stat(narrow(path).c_str(), &status) != 0) {
        return 0;
    }
    return static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

std::FILE* openFile(const std::wstring& path, const char* mode)
{
    std::FILE* file = std::fopen(narrow(path).c_str(), mode);
    if (file) {
        fcntl(fileno(file), F_SETFD, FD_CLOEXEC);
    }
    return file;
}

std::string nativePath(const std::wstring& path)
{
    return narrow(path);
}

gzFile_s* openArchive(const std::wstring& path)
{
    return gzopen(narrow(path).c_str(), "wb");
}

std::string toConsoleText(const std::string& utf8)
{
    return utf8;
}

std::tm localTime(std::time_t time)
{
    std::tm day{};
    localtime_r(&time, &day);
    return day;
}

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; home from the account
// database when HOME is not set.
std::wstring dataFolder()
{
    const std::string xdg = variable("XDG_DATA_HOME");
    if (!xdg.empty() && xdg[0] == '/') {
        return SU::toWide(xdg, SU::Utf8);
    }
    std::string home = variable("HOME");
    if (home.empty()) {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
            home = found->pw_dir;
        }
    }
    if (home.empty()) {
        return std::wstring();
    }
    return SU::toWide(home + "/.local/share", SU::Utf8);
}

std::wstring environmentValue(const wchar_t* name)
{
    return SU::toWide(variable(narrow(name).c_str()), SU::Utf8);
}

} // namespace Norvik::Utils::LogEnvironment

#endif

#if !defined(_WIN32)

#include "LogEnvironment.h"
#include "Logger.h"
#include "StringUtils.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace Norvik {

namespace {

namespace SU = Utils::StringUtils;
namespace Env = Utils::LogEnvironment;

std::string narrow(const std::wstring& path) { return SU::toNarrow(path, SU::Utf8); }

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; home from the account
// database when HOME is not set.
std::string dataHome()
{
    const std::string xdg = environmentValue("XDG_DATA_HOME");
    if (!xdg.empty() && xdg[0] == '/') {
        return xdg;
    }
    std::string home = environmentValue("HOME");
    if (home.empty()) {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
            home = found->pw_dir;
        }
    }
    if (home.empty()) {
        return std::string();
    }
    return home + "/.local/share";
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

} // namespace

namespace Utils::LogEnvironment {

const wchar_t* const pathSeparators = L"/";

std::int64_t modificationStamp(const std::wstring& path)
{
    struct stat status{};
    if (stat(narrow(path).c_str(), &status) != 0) {
        return 0;
    }
    return static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

bool isDirectory(const std::wstring& path)
{
    struct stat status{};
    return stat(narrow(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void createDirectories(const std::wstring& path)
{
    const std::string target = narrow(path);
    for (std::size_t end = target.find('/', 1);; end = target.find('/', end + 1)) {
        const std::string part = target.substr(0, end);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            return;
        }
        if (end == std::string::npos) {
            return;
        }
    }
}

std::vector<DirectoryEntry> listDirectory(const std::wstring& directory)
{
    std::vector<DirectoryEntry> entries;
    const std::string base = narrow(directory);
    std::unique_ptr<DIR, DirCloser> dir(opendir(base.c_str()));
    if (!dir) {
        return entries;
    }
    while (const dirent* item = readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat status{};
        if (lstat((base + "/" + name).c_str(), &status) != 0) {
            continue;
        }
        entries.push_back({SU::toWide(name, SU::Utf8), S_ISDIR(status.st_mode), status.st_mtime});
    }
    return entries;
}

bool fileExists(const std::wstring& path)
{
    struct stat status{};
    return lstat(narrow(path).c_str(), &status) == 0;
}

bool removeFile(const std::wstring& path) { return unlink(narrow(path).c_str()) == 0; }

bool renameFile(const std::wstring& from, const std::wstring& to)
{
    return std::rename(narrow(from).c_str(), narrow(to).c_str()) == 0;
}

std::FILE* openFile(const std::wstring& path, const char* mode)
{
    std::FILE* file = std::fopen(narrow(path).c_str(), mode);
    if (file) {
        fcntl(fileno(file), F_SETFD, FD_CLOEXEC);
    }
    return file;
}

void openInput(std::ifstream& stream, const std::wstring& path) { stream.open(narrow(path)); }

void openOutput(std::ofstream& stream, const std::wstring& path)
{
    stream.open(narrow(path), std::ios::out | std::ios::trunc);
}

std::string nativePath(const std::wstring& path) { return narrow(path); }

gzFile_s* openArchive(const std::wstring& path) { return gzopen(narrow(path).c_str(), "wb"); }

std::string toConsoleText(const std::string& utf8) { return utf8; }

} // namespace Utils::LogEnvironment

std::wstring getDataDirectory()
{
    const std::wstring directory = SU::toWide(dataHome(), SU::Utf8) + SU::format(L"/NORVIK/%ls", L"tessarodriver");
    if (!Env::isDirectory(directory)) {
        Env::createDirectories(directory);
    }
    return directory;
}

std::wstring getLogDirectory()
{
    const std::wstring directory = getDataDirectory() + L"/logs/";
    if (!Env::isDirectory(directory)) {
        Env::createDirectories(directory);
    }
    return directory;
}

std::wstring getConfigPath()
{
    const std::string value = environmentValue("DRV_LOG_CONFIG_FILE");
    if (value.empty()) {
        return getDataDirectory() + SU::format(L"/%ls_log.properties", L"tessarodriver");
    }
    const std::wstring path = SU::toWide(value, SU::Utf8);
    const std::size_t last = path.find_last_of(Env::pathSeparators);
    if (last != std::wstring::npos) {
        const std::wstring directory = path.substr(0, last + 1);
        if (!Env::isDirectory(directory)) {
            Env::createDirectories(directory);
        }
    }
    return path;
}

} // namespace Norvik

#endif

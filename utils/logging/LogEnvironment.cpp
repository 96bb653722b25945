#include "utils/logging/LogEnvironment.h"

#include "utils/logging/Logger.h"
#include "utils/text/StringUtils.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace Norvik {

namespace {

namespace fs = std::filesystem;
namespace SU = Utils::StringUtils;
namespace Env = Utils::LogEnvironment;

// Through UTF-8 on Windows (wide paths there) and the bytes as they are on Linux, so that a name
// keeps every character.
fs::path toPath(const std::wstring& path)
{
    return fs::u8path(Env::pathBytes(path));
}

std::wstring nameOf(const fs::path& path)
{
    return Env::pathFromBytes(path.filename().u8string());
}

std::time_t toUnixTime(fs::file_time_type time)
{
    using namespace std::chrono;
    // The epochs of the two clocks lie whole seconds apart; reading both once finds the distance.
    static const seconds epochDistance =
        round<seconds>(system_clock::now().time_since_epoch() - fs::file_time_type::clock::now().time_since_epoch());
    return static_cast<std::time_t>((floor<seconds>(time.time_since_epoch()) + epochDistance).count());
}

void ensureDirectory(const std::wstring& directory)
{
    if (!Env::isDirectory(directory)) {
        Env::createDirectories(directory);
    }
}

} // namespace

namespace Utils::LogEnvironment {

bool isDirectory(const std::wstring& path)
{
    std::error_code error;
    return fs::is_directory(toPath(path), error);
}

void createDirectories(const std::wstring& path)
{
    std::error_code error;
    fs::create_directories(toPath(path), error);
}

std::vector<DirectoryEntry> listDirectory(const std::wstring& directory)
{
    std::vector<DirectoryEntry> entries;
    std::error_code error;
    for (fs::directory_iterator item(toPath(directory), error), end; !error && item != end; item.increment(error)) {
        std::error_code entryError;
        const fs::file_status status = item->symlink_status(entryError);
        const fs::file_time_type modified = item->last_write_time(entryError);
        if (entryError) {
            continue;
        }
        entries.push_back(
            {nameOf(item->path()), fs::is_directory(status), fs::is_regular_file(status), toUnixTime(modified)});
    }
    return entries;
}

bool isRegularFile(const std::wstring& path)
{
    std::error_code error;
    return fs::is_regular_file(toPath(path), error);
}

bool fileExists(const std::wstring& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(toPath(path), error));
}

bool removeFile(const std::wstring& path)
{
    std::error_code error;
    return fs::remove(toPath(path), error);
}

bool renameFile(const std::wstring& from, const std::wstring& to)
{
    std::error_code error;
    fs::rename(toPath(from), toPath(to), error);
    return !error;
}

void openInput(std::ifstream& stream, const std::wstring& path)
{
    stream.open(toPath(path));
}

void openOutput(std::ofstream& stream, const std::wstring& path)
{
    stream.open(toPath(path), std::ios::out | std::ios::trunc);
}

} // namespace Utils::LogEnvironment

std::wstring getDataDirectory()
{
    const std::wstring directory =
        Env::dataFolder() + Env::directorySeparator + L"NORVIK" + Env::directorySeparator + L"tessarodriver";
    ensureDirectory(directory);
    return directory;
}

std::wstring getLogDirectory()
{
    const std::wstring directory = getDataDirectory() + Env::directorySeparator + L"logs" + Env::directorySeparator;
    ensureDirectory(directory);
    return directory;
}

std::wstring getConfigPath()
{
    const std::wstring path = Env::environmentValue(L"DRV_LOG_CONFIG_FILE");
    if (path.empty()) {
        return getDataDirectory() + Env::directorySeparator + L"tessarodriver_log.properties";
    }
    const std::size_t last = path.find_last_of(Env::directorySeparator);
    if (last != std::wstring::npos) {
        ensureDirectory(path.substr(0, last + 1));
    }
    return path;
}

} // namespace Norvik

#if defined(_WIN32)

#include "LogEnvironment.h"
#include "Logger.h"
#include "StringUtils.h"

#include <windows.h>
#include <shlobj.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>
#include <zlib.h>

namespace Norvik {

namespace {

namespace SU = Utils::StringUtils;
namespace Env = Utils::LogEnvironment;

// Seconds between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr long long fileTimeEpochSeconds = 11644473600LL;

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle(handle) {}
    ~FindHandle()
    {
        if (handle != INVALID_HANDLE_VALUE) {
            FindClose(handle);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle; }

private:
    HANDLE handle;
};

std::time_t toUnixTime(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<std::time_t>(value.QuadPart / 10000000ULL - fileTimeEpochSeconds);
}

std::wstring widen(const char* text)
{
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

// SHCreateDirectoryExW takes full paths only and no trailing separator.
void createDirectory(const std::wstring& path)
{
    std::wstring target = path;
    while (target.size() > 3 && (target.back() == L'\\' || target.back() == L'/')) {
        target.pop_back();
    }
    if (target.empty()) {
        return;
    }
    const DWORD size = GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
    if (size > 0) {
        std::vector<wchar_t> full(size + 1);
        if (GetFullPathNameW(target.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr) > 0) {
            target = full.data();
        }
    }
    SHCreateDirectoryExW(nullptr, target.c_str(), nullptr);
}

} // namespace

namespace Utils::LogEnvironment {

const wchar_t* const pathSeparators = L"\\/";

// In the file system's own 100 ns steps: whole seconds would miss an edit made within the
// second the file was last read.
std::int64_t modificationStamp(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    ULARGE_INTEGER value;
    value.LowPart = data.ftLastWriteTime.dwLowDateTime;
    value.HighPart = data.ftLastWriteTime.dwHighDateTime;
    return (static_cast<std::int64_t>(value.QuadPart) - static_cast<std::int64_t>(fileTimeEpochSeconds) * 10000000) * 100;
}

bool isDirectory(const std::wstring& path)
{
    std::wstring target = path;
    // _wstat refuses a directory name that ends with a separator (other than a drive root).
    while (target.size() > 3 && (target.back() == L'\\' || target.back() == L'/')) {
        target.pop_back();
    }
    struct _stat64i32 status{};
    return _wstat64i32(target.c_str(), &status) == 0 && (status.st_mode & _S_IFDIR) != 0;
}

void createDirectories(const std::wstring& path) { createDirectory(path); }

std::vector<DirectoryEntry> listDirectory(const std::wstring& directory)
{
    std::vector<DirectoryEntry> entries;
    std::wstring pattern = directory;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (find.get() == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           toUnixTime(data.ftLastWriteTime)});
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool removeFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }

bool renameFile(const std::wstring& from, const std::wstring& to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

std::FILE* openFile(const std::wstring& path, const char* mode)
{
    return _wfopen(path.c_str(), widen(mode).c_str());
}

void openInput(std::ifstream& stream, const std::wstring& path) { stream.open(SU::toNarrow(path, SU::Cp1251)); }

void openOutput(std::ofstream& stream, const std::wstring& path)
{
    stream.open(SU::toNarrow(path, SU::Cp1251), std::ios::out | std::ios::trunc);
}

std::string nativePath(const std::wstring& path) { return SU::toNarrow(path, SU::Cp1251); }

gzFile_s* openArchive(const std::wstring& path) { return gzopen_w(path.c_str(), "wb"); }

std::string toConsoleText(const std::string& utf8)
{
    return SU::toNarrow(SU::toWide(utf8, SU::Utf8), SU::Cp866);
}

} // namespace Utils::LogEnvironment

std::wstring getDataDirectory()
{
    wchar_t buffer[MAX_PATH] = {};
    std::wstring directory;
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
        directory = buffer;
    }
    directory += SU::format(L"\\NORVIK\\%ls", L"tessarodriver");
    if (!Env::isDirectory(directory)) {
        createDirectory(directory);
    }
    return directory;
}

std::wstring getLogDirectory()
{
    const std::wstring directory = getDataDirectory() + L"\\logs\\";
    if (!Env::isDirectory(directory)) {
        createDirectory(directory);
    }
    return directory;
}

std::wstring getConfigPath()
{
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(L"DRV_LOG_CONFIG_FILE", buffer.data(), static_cast<DWORD>(buffer.size()));
    // A longer value is read whole rather than cut off or taken from a half-filled buffer.
    if (length >= buffer.size()) {
        buffer.assign(length + 1, L'\0');
        length = GetEnvironmentVariableW(L"DRV_LOG_CONFIG_FILE", buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length >= buffer.size()) {
            length = 0;
        }
    }
    if (length == 0) {
        return getDataDirectory() + SU::format(L"\\%ls_log.properties", L"tessarodriver");
    }
    const std::wstring path(buffer.data(), length);
    const std::size_t last = path.find_last_of(L'\\');
    if (last != std::wstring::npos) {
        const std::wstring directory = path.substr(0, last + 1);
        if (!Env::isDirectory(directory)) {
            createDirectory(directory);
        }
    }
    return path;
}

} // namespace Norvik

#endif

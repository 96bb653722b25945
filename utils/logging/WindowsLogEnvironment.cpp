#if defined(_WIN32)

#include "utils/logging/LogEnvironment.h"
#include "utils/text/StringUtils.h"
#include "utils/text/WindowsUtf16.h"

#include <windows.h>
#include <shlobj.h>
#include <io.h>
#include <utf8.h>

#include <iterator>
#include <vector>
#include <zlib.h>

namespace Norvik::Utils::LogEnvironment {

namespace {

namespace SU = StringUtils;

// Seconds between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr long long fileTimeEpochSeconds = 11644473600LL;

std::wstring widen(const char* text)
{
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

} // namespace

const wchar_t* const pathSeparators = L"\\/";
const wchar_t directorySeparator = L'\\';

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
    return (static_cast<std::int64_t>(value.QuadPart) - static_cast<std::int64_t>(fileTimeEpochSeconds) * 10000000) *
        100;
}

std::FILE* openFile(const std::wstring& path, const char* mode)
{
    return _wfopen(path.c_str(), widen(mode).c_str());
}

std::FILE* openLogFile(const std::wstring& path)
{
    std::FILE* file = _wfopen(path.c_str(), L"ab");
    if (file && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

std::string pathBytes(const std::wstring& path)
{
    return SU::toNarrow(path, SU::Utf8);
}

std::wstring pathFromBytes(const std::string& bytes)
{
    return SU::toWide(bytes, SU::Utf8);
}

// Narrow names are read in the ANSI code page; the short name of an existing file holds only
// characters that page can carry, whatever its long name holds.
std::string nativePath(const std::wstring& path)
{
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size > 0) {
        std::vector<wchar_t> shortName(size);
        if (GetShortPathNameW(path.c_str(), shortName.data(), size) > 0) {
            return WindowsText::fromUtf16(shortName.data(), CP_ACP);
        }
    }
    return WindowsText::fromUtf16(path, CP_ACP);
}

gzFile_s* openArchive(const std::wstring& path)
{
    return gzopen_w(path.c_str(), "wb");
}

void writeConsole(const std::string& text)
{
    // A service has no standard output: the stream then has no descriptor.
    const int output = _fileno(stdout);
    if (output < 0) {
        return;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const int count = _write(output, text.data() + written, static_cast<unsigned>(text.size() - written));
        if (count <= 0) {
            return;
        }
        written += static_cast<std::size_t>(count);
    }
}

// Bytes that are not UTF-8 (a client's request may hold any) become '?' rather than ending the line.
std::string toConsoleText(const std::string& utf8)
{
    std::string valid;
    utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(valid), '?');
    return SU::toNarrow(SU::toWide(valid, SU::Utf8), SU::Cp866);
}

std::tm localTime(std::time_t time)
{
    std::tm day{};
    localtime_s(&day, &time);
    return day;
}

// Created when the account's profile lacks it: otherwise the data would go to the root of the
// current drive.
std::wstring dataFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
        return buffer;
    }
    return std::wstring();
}

std::wstring environmentValue(const wchar_t* name)
{
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    // A longer value is read whole rather than cut off or taken from a half-filled buffer.
    if (length >= buffer.size()) {
        buffer.assign(length + 1, L'\0');
        length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length >= buffer.size()) {
            length = 0;
        }
    }
    return std::wstring(buffer.data(), length);
}

} // namespace Norvik::Utils::LogEnvironment

#endif

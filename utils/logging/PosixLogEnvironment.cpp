#if !defined(_WIN32)

#include "utils/handle/PosixDescriptor.h"
#include "utils/logging/LogEnvironment.h"
#include "utils/text/StringUtils.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <fcntl.h>
#include <utf8.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace Norvik::Utils::LogEnvironment {

namespace {

namespace SU = StringUtils;

// A byte that is not part of a UTF-8 character travels as a lone low surrogate (U+DC80 to
// U+DCFF), which no UTF-8 text decodes to, and becomes that byte again on the way back.
constexpr wchar_t escapedByte = 0xDC00;

std::string narrow(const std::wstring& path)
{
    return pathBytes(path);
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

std::string pathBytes(const std::wstring& path)
{
    std::string bytes;
    for (const wchar_t ch : path) {
        const auto code = static_cast<std::uint32_t>(ch);
        if (code >= escapedByte + 0x80u && code <= escapedByte + 0xFFu) {
            bytes += static_cast<char>(code - escapedByte);
        } else if (code < 0xD800u || (code > 0xDFFFu && code <= 0x10FFFFu)) {
            utf8::append(code, std::back_inserter(bytes));
        }
    }
    return bytes;
}

std::wstring pathFromBytes(const std::string& bytes)
{
    std::wstring path;
    for (auto at = bytes.begin(); at != bytes.end();) {
        auto next = at;
        try {
            path += static_cast<wchar_t>(utf8::next(next, bytes.end()));
            at = next;
        } catch (const utf8::exception&) {
            path += static_cast<wchar_t>(escapedByte + static_cast<unsigned char>(*at));
            ++at;
        }
    }
    return path;
}

std::FILE* openLogFile(const std::wstring& path)
{
    UniqueFd descriptor(
        open(narrow(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
    struct stat status {};
    if (!descriptor || fstat(descriptor.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return nullptr;
    }
    fcntl(descriptor.get(), F_SETFL, O_WRONLY | O_APPEND);
    std::FILE* file = fdopen(descriptor.get(), "ab");
    if (file) {
        descriptor.release();
    }
    return file;
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

void writeConsole(const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;
        }
        written += static_cast<std::size_t>(count);
    }
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
        return pathFromBytes(xdg);
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
    return pathFromBytes(home + "/.local/share");
}

std::wstring environmentValue(const wchar_t* name)
{
    return pathFromBytes(variable(SU::toNarrow(name, SU::Utf8).c_str()));
}

} // namespace Norvik::Utils::LogEnvironment

#endif

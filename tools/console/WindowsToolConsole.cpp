#if defined(_WIN32)

#include "tools/console/ToolConsole.h"

#include "utils/text/WindowsUtf16.h"

#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace Norvik::Tools {

using Utils::WindowsText::fromUtf16;
using Utils::WindowsText::toUtf16;

void writeText(std::FILE* stream, const std::string& text)
{
    const HANDLE console = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode)) {
        // Redirected: the same bytes as on Linux, line ends the C library's.
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    const std::wstring wide = toUtf16(text);
    // Colours and cursor moves of lampview's drawing are terminal sequences.
    ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    std::fflush(stream);
    DWORD written = 0;
    ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

std::vector<std::string> commandArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(fromUtf16(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

} // namespace Norvik::Tools

#endif

#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Norvik {

constexpr const char* programPathSeparators = "\\/";

// The full path of the running program as the system names it; empty when it is unknown.
inline std::wstring programWidePath()
{
    for (std::vector<wchar_t> buffer(MAX_PATH);; buffer.resize(buffer.size() * 2)) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        // A full buffer may hold a cut-off path.
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
    }
}

// The full path of the running program in UTF-8; empty when it is unknown.
inline std::string programPath()
{
    const std::wstring wide = programWidePath();
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string path(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &path[0], size, nullptr, nullptr);
    return path;
}

} // namespace Norvik

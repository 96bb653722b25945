#pragma once

#include "utils/text/WindowsUtf16.h"

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
    return Utils::WindowsText::fromUtf16(programWidePath());
}

} // namespace Norvik

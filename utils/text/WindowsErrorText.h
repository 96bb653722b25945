#pragma once

// The system's text for an error code, header only so that every deliverable compiles its own
// copy (the lamp driver and the tools link nothing of the system's own).

#include <windows.h>

#include <string>

namespace Norvik::Utils::WindowsText {

// Trailing CR and LF removed; empty when the system has no text for the code.
inline std::wstring systemErrorText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", buffer != nullptr ? length : 0);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    return text;
}

} // namespace Norvik::Utils::WindowsText

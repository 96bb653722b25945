#pragma once

// Conversions between the system's UTF-16 and narrow text, header only so that every deliverable
// compiles its own copy (the lamp driver and the tools link nothing of the system's own).
// Characters the target cannot carry become the code page's default character or U+FFFD.

#include <windows.h>

#include <string>

namespace Norvik::Utils::WindowsText {

inline std::wstring toUtf16(const std::string& text, UINT codePage = CP_UTF8)
{
    const int size = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

inline std::string fromUtf16(const std::wstring& wide, UINT codePage = CP_UTF8)
{
    const int size =
        ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr,
                              nullptr);
    return text;
}

} // namespace Norvik::Utils::WindowsText

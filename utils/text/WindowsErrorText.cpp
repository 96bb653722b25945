#if defined(_WIN32)

#include "utils/text/StringUtils.h"

#include <windows.h>

namespace Norvik::Utils::StringUtils {

std::wstring getSystemErrorText(unsigned long code, int)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(code),
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text;
    if (buffer != nullptr) {
        text.assign(buffer, length);
        LocalFree(buffer);
    }
    return trim(text, false, true, L"\r\n");
}

} // namespace Norvik::Utils::StringUtils

#endif

#if !defined(_WIN32)

#include "utils/text/StringUtils.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace Norvik::Utils::StringUtils {

namespace {

// strerror_r comes in two flavours; both overloads accept what the C library declares.
[[maybe_unused]] const char* errorText(int result, const char* buffer)
{
    return result == 0 ? buffer : nullptr;
}

[[maybe_unused]] const char* errorText(const char* result, const char*)
{
    return result;
}

bool isKnownError(int code)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    return strerrordesc_np(code) != nullptr;
#else
    (void)code;
    return true;
#endif
}

// The message comes in the locale's encoding; fall back to UTF-8 when the locale cannot read it.
std::wstring fromLocale(const char* text)
{
    std::mbstate_t state{};
    const char* source = text;
    const std::size_t length = std::mbsrtowcs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1)) {
        return toWide(text, Utf8);
    }
    std::wstring result(length, L'\0');
    state = std::mbstate_t{};
    source = text;
    std::mbsrtowcs(&result[0], &source, length, &state);
    return result;
}

} // namespace

std::wstring getSystemErrorText(unsigned long code, int)
{
    const int error = static_cast<int>(code);
    if (!isKnownError(error)) {
        return {};
    }
    char buffer[512] = {};
    const char* text = errorText(strerror_r(error, buffer, sizeof buffer), buffer);
    if (text == nullptr) {
        return {};
    }
    return trim(fromLocale(text), false, true, L"\r\n");
}

} // namespace Norvik::Utils::StringUtils

#endif

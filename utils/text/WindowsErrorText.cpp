#if defined(_WIN32)

#include "utils/text/StringUtils.h"

#include "utils/text/WindowsErrorText.h"

namespace Norvik::Utils::StringUtils {

std::wstring getSystemErrorText(unsigned long code, int)
{
    return WindowsText::systemErrorText(static_cast<DWORD>(code));
}

} // namespace Norvik::Utils::StringUtils

#endif

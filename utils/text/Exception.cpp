#include "utils/text/Exception.h"

#include "utils/text/StringUtils.h"

namespace Norvik::Utils {

Exception::Exception(int code, const std::wstring& message)
    : code(code), message(message), text(StringUtils::toNarrow(message, StringUtils::Utf8))
{
    if (text.empty()) {
        text = StringUtils::format("Exception %d", code);
    }
}

Exception::~Exception() = default;

const char* Exception::what() const noexcept
{
    return text.c_str();
}

int Exception::getCode() const
{
    return code;
}

std::wstring Exception::getMessage() const
{
    return message;
}

} // namespace Norvik::Utils

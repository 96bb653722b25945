#include "utils/loader/NotLoadedException.h"

#include "utils/text/StringUtils.h"

namespace Norvik::Utils {

NotLoadedException::NotLoadedException(const std::wstring& libraryPath, const std::wstring& errorText)
    : Exception(-1, StringUtils::format(L"Library loading is failed %ls (%ls)", libraryPath.c_str(), errorText.c_str()))
{
}

NotLoadedException::~NotLoadedException() = default;

} // namespace Norvik::Utils

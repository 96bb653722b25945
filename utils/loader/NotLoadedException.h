#pragma once

#include "utils/text/Exception.h"

#include <string>

namespace Norvik::Utils {

// No candidate of a dynamic library could be loaded; code -1.
class NotLoadedException : public Exception {
public:
    NotLoadedException(const std::wstring& libraryPath, const std::wstring& errorText);
    ~NotLoadedException() override;
};

} // namespace Norvik::Utils

#pragma once

#include "utils/logging/Log4cpp.h"

#include <ostream>
#include <string>

// Reads the settings that log4cpp keeps in protected members of the appenders its
// configurator builds, so that the system's own appenders can carry them on.
namespace Norvik::Utils::Log4cppAccess {

struct LayoutOf : log4cpp::LayoutAppender {
    static log4cpp::Layout& get(log4cpp::LayoutAppender& appender) { return (appender.*(&LayoutOf::_getLayout))(); }
};

struct FileNameOf : log4cpp::FileAppender {
    static const std::string& get(const log4cpp::FileAppender& appender) { return appender.*(&FileNameOf::_fileName); }
};

struct StreamOf : log4cpp::OstreamAppender {
    static std::ostream* get(const log4cpp::OstreamAppender& appender) { return appender.*(&StreamOf::_stream); }
};

} // namespace Norvik::Utils::Log4cppAccess

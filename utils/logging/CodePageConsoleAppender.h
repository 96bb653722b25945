#pragma once

#include "utils/logging/Log4cpp.h"

#include <memory>
#include <ostream>
#include <string>

namespace Norvik::Utils {

// The "console" appender: writes each line in the console's character set (code page 866 on
// Windows; Linux terminals show the UTF-8 as it is).
class CodePageConsoleAppender : public log4cpp::LayoutAppender {
public:
    // Carries on the name, stream, layout and threshold of a configured console appender.
    explicit CodePageConsoleAppender(std::unique_ptr<log4cpp::OstreamAppender> configured);
    CodePageConsoleAppender(const std::string& name, std::ostream& stream);

    bool reopen() override;
    void close() override;
    void setLayout(log4cpp::Layout* layout) override;

protected:
    void _append(const log4cpp::LoggingEvent& event) override;

private:
    log4cpp::Layout& layout();

    std::unique_ptr<log4cpp::OstreamAppender> configured;
    std::ostream* stream;
};

} // namespace Norvik::Utils

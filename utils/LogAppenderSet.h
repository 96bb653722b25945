#pragma once

#include <memory>
#include <string>
#include <vector>

namespace log4cpp {
class Appender;
}

namespace Norvik::Utils {

// Owns the appenders that log4cpp's configurator builds (it drops them unreleased, files open,
// at the next configuration) and puts the system's own file and console appenders in place of
// the configured ones.
class LogAppenderSet {
public:
    LogAppenderSet();
    ~LogAppenderSet();
    LogAppenderSet(const LogAppenderSet&) = delete;
    LogAppenderSet& operator=(const LogAppenderSet&) = delete;

    // After a configuration from the given properties text: takes over the appenders it names
    // and attaches the replacements to the categories. When the configuration was read whole,
    // the appenders of earlier ones are detached too (a category the text does not name then
    // writes nowhere); after a rejected one they stay where they are, so logging goes on.
    // Appenders no category uses any more are freed.
    void takeOver(const std::string& properties, bool complete);

    // The appender names a properties text defines ("log4cpp.appender.NAME=...").
    static std::vector<std::string> appenderNames(const std::string& properties);

private:
    bool owns(const log4cpp::Appender* appender) const;
    std::vector<std::unique_ptr<log4cpp::Appender>> owned;
};

} // namespace Norvik::Utils

#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace log4cpp {
class Appender;
class Category;
} // namespace log4cpp

namespace Norvik::Utils {

// Owns the appenders that log4cpp's configurator builds (it drops them unreleased, files open,
// at the next configuration), puts the system's own file and console appenders in place of
// the configured ones, and keeps the categories a configuration leaves alone as new ones are.
class LogAppenderSet {
public:
    // What a configuration may change: every category's priority, additivity and appenders,
    // and the appenders registered under the names the text defines.
    struct Snapshot {
        struct CategoryState {
            log4cpp::Category* category;
            int priority;
            bool additivity;
            std::vector<log4cpp::Appender*> appenders;
        };
        std::vector<CategoryState> categories;
        std::map<std::string, log4cpp::Appender*> registered;
    };

    LogAppenderSet();
    ~LogAppenderSet();
    LogAppenderSet(const LogAppenderSet&) = delete;
    LogAppenderSet& operator=(const LogAppenderSet&) = delete;

    // Taken before log4cpp reads the properties text.
    static Snapshot capture(const std::string& properties);

    // After log4cpp accepted the properties text: takes over the appenders it names, attaches
    // the replacements and detaches those of earlier configurations. A category the text does
    // not name is put back to a new category's state (no priority, no appenders, additive), so
    // it writes through the root's appenders; one the text gives appenders of its own is not
    // additive (no line twice) unless the text sets its additivity. Appenders no category uses
    // any more are freed.
    void takeOver(const std::string& properties);

    // After log4cpp rejected the properties text part-way: every category as it was before (one
    // created meanwhile as a new one), and the appenders the rejected text built are freed.
    void restore(const Snapshot& before, const std::string& properties);

    // The settings of a properties text as log4cpp reads them: a '#' ends the line, a line
    // without '=' is skipped, keys and values are trimmed, a leading "log4cpp." or "log4j." is
    // dropped from the key and the first setting of a key counts.
    static std::map<std::string, std::string> settings(const std::string& properties);
    // The appender names a properties text defines ("log4cpp.appender.NAME=...").
    static std::vector<std::string> appenderNames(const std::string& properties);
    // The categories other than the root that a properties text configures.
    static std::vector<std::string> categoryNames(const std::string& properties);

private:
    bool owns(const log4cpp::Appender* appender) const;
    std::vector<std::unique_ptr<log4cpp::Appender>> owned;
};

} // namespace Norvik::Utils

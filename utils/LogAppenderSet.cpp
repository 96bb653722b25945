#include "LogAppenderSet.h"

#include "CodePageConsoleAppender.h"
#include "GzipDailyRollingFileAppender.h"
#include "Log4cpp.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <typeinfo>

namespace Norvik::Utils {

namespace {

const std::string appenderPrefix = "log4cpp.appender.";

std::string trimmed(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<log4cpp::Category*> allCategories()
{
    std::unique_ptr<std::vector<log4cpp::Category*>> current(log4cpp::Category::getCurrentCategories());
    return *current;
}

std::unique_ptr<log4cpp::Appender> replacementOf(log4cpp::Appender* appender)
{
    const std::type_info& type = typeid(*appender);
    if (type == typeid(log4cpp::DailyRollingFileAppender)) {
        return std::make_unique<GzipDailyRollingFileAppender>(
            std::unique_ptr<log4cpp::DailyRollingFileAppender>(static_cast<log4cpp::DailyRollingFileAppender*>(appender)));
    }
    // The configurator's "ConsoleAppender" is a plain stream appender on std::cout or std::cerr.
    if (type == typeid(log4cpp::OstreamAppender)) {
        return std::make_unique<CodePageConsoleAppender>(
            std::unique_ptr<log4cpp::OstreamAppender>(static_cast<log4cpp::OstreamAppender*>(appender)));
    }
    return std::unique_ptr<log4cpp::Appender>(appender);
}

} // namespace

LogAppenderSet::LogAppenderSet() = default;

LogAppenderSet::~LogAppenderSet()
{
    for (log4cpp::Category* category : allCategories()) {
        for (log4cpp::Appender* appender : category->getAllAppenders()) {
            if (owns(appender)) {
                category->removeAppender(appender);
            }
        }
    }
}

bool LogAppenderSet::owns(const log4cpp::Appender* appender) const
{
    return std::any_of(owned.begin(), owned.end(), [appender](const auto& item) { return item.get() == appender; });
}

std::vector<std::string> LogAppenderSet::appenderNames(const std::string& properties)
{
    std::vector<std::string> names;
    std::istringstream lines(properties);
    std::string line;
    while (std::getline(lines, line)) {
        line = trimmed(line);
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) {
            continue;
        }
        const std::string key = trimmed(line.substr(0, equals));
        if (key.compare(0, appenderPrefix.size(), appenderPrefix) != 0) {
            continue;
        }
        const std::string name = key.substr(appenderPrefix.size());
        if (!name.empty() && name.find('.') == std::string::npos &&
            std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    return names;
}

void LogAppenderSet::takeOver(const std::string& properties, bool complete)
{
    // What the configurator built: the appenders the text names (attached or not) and any
    // attached one not taken over yet (the file may have changed since it was read here).
    std::vector<log4cpp::Appender*> built;
    for (const std::string& name : appenderNames(properties)) {
        built.push_back(log4cpp::Appender::getAppender(name));
    }
    for (log4cpp::Category* category : allCategories()) {
        for (log4cpp::Appender* appender : category->getAllAppenders()) {
            if (!category->ownsAppender(appender)) {
                built.push_back(appender);
            }
        }
    }

    std::map<log4cpp::Appender*, log4cpp::Appender*> replaced;
    std::set<const log4cpp::Appender*> current;
    for (log4cpp::Appender* appender : built) {
        if (!appender || owns(appender) || replaced.count(appender) != 0) {
            continue;
        }
        owned.push_back(replacementOf(appender));
        replaced[appender] = owned.back().get();
        current.insert(owned.back().get());
    }

    std::set<const log4cpp::Appender*> attached;
    for (log4cpp::Category* category : allCategories()) {
        for (log4cpp::Appender* appender : category->getAllAppenders()) {
            const auto found = replaced.find(appender);
            if (found != replaced.end() && found->first != found->second && !category->ownsAppender(appender)) {
                category->removeAppender(appender);
                category->addAppender(*found->second);
                attached.insert(found->second);
            } else if (complete && owns(appender) && current.count(appender) == 0) {
                category->removeAppender(appender);
            } else {
                attached.insert(appender);
            }
        }
    }

    owned.erase(std::remove_if(owned.begin(), owned.end(),
                               [&](const auto& item) {
                                   return attached.count(item.get()) == 0 && current.count(item.get()) == 0;
                               }),
                owned.end());
}

} // namespace Norvik::Utils

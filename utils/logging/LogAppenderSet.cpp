#include "utils/logging/LogAppenderSet.h"

#include "utils/logging/CodePageConsoleAppender.h"
#include "utils/logging/GzipDailyRollingFileAppender.h"
#include "utils/logging/Log4cpp.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <typeinfo>

namespace Norvik::Utils {

namespace {

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

// As log4cpp makes a category on first use: no priority of its own, no appenders, additive.
void makeNew(log4cpp::Category& category)
{
    category.setPriority(log4cpp::Priority::NOTSET);
    category.removeAllAppenders();
    category.setAdditivity(true);
}

std::unique_ptr<log4cpp::Appender> replacementOf(log4cpp::Appender* appender)
{
    const std::type_info& type = typeid(*appender);
    if (type == typeid(log4cpp::DailyRollingFileAppender)) {
        return std::make_unique<GzipDailyRollingFileAppender>(std::unique_ptr<log4cpp::DailyRollingFileAppender>(
            static_cast<log4cpp::DailyRollingFileAppender*>(appender)));
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

std::map<std::string, std::string> LogAppenderSet::settings(const std::string& properties)
{
    std::map<std::string, std::string> result;
    std::istringstream lines(properties);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string key = trimmed(line.substr(0, equals));
        const std::size_t dot = key.find('.');
        const std::string head = key.substr(0, dot);
        if (dot != std::string::npos && (head == "log4cpp" || head == "log4j")) {
            key = key.substr(dot + 1);
        }
        result.emplace(key, trimmed(line.substr(equals + 1)));
    }
    return result;
}

std::vector<std::string> LogAppenderSet::appenderNames(const std::string& properties)
{
    const std::string prefix = "appender.";
    std::vector<std::string> names;
    for (const auto& setting : settings(properties)) {
        const std::string& key = setting.first;
        if (key.compare(0, prefix.size(), prefix) == 0 && key.size() > prefix.size() &&
            key.find('.', prefix.size()) == std::string::npos) {
            names.push_back(key.substr(prefix.size()));
        }
    }
    return names;
}

std::vector<std::string> LogAppenderSet::categoryNames(const std::string& properties)
{
    const std::string prefix = "category.";
    std::vector<std::string> names;
    for (const auto& setting : settings(properties)) {
        if (setting.first.compare(0, prefix.size(), prefix) == 0) {
            names.push_back(setting.first.substr(prefix.size()));
        }
    }
    return names;
}

LogAppenderSet::Snapshot LogAppenderSet::capture(const std::string& properties)
{
    log4cpp::Category::getRoot();
    Snapshot snapshot;
    for (log4cpp::Category* category : allCategories()) {
        const log4cpp::AppenderSet appenders = category->getAllAppenders();
        snapshot.categories.push_back({category, category->getPriority(), category->getAdditivity(),
                                       std::vector<log4cpp::Appender*>(appenders.begin(), appenders.end())});
    }
    for (const std::string& name : appenderNames(properties)) {
        snapshot.registered[name] = log4cpp::Appender::getAppender(name);
    }
    return snapshot;
}

void LogAppenderSet::restore(const Snapshot& before, const std::string& properties)
{
    for (log4cpp::Category* category : allCategories()) {
        const auto state = std::find_if(before.categories.begin(), before.categories.end(),
                                        [category](const auto& item) { return item.category == category; });
        if (state == before.categories.end()) {
            makeNew(*category);
            continue;
        }
        category->setPriority(state->priority);
        category->setAdditivity(state->additivity);
        for (log4cpp::Appender* appender : category->getAllAppenders()) {
            if (std::find(state->appenders.begin(), state->appenders.end(), appender) == state->appenders.end()) {
                category->removeAppender(appender);
            }
        }
        for (log4cpp::Appender* appender : state->appenders) {
            if (category->getAllAppenders().count(appender) == 0) {
                category->addAppender(*appender);
            }
        }
    }
    // Built by the rejected text: registered under one of its names since the snapshot and
    // attached nowhere now.
    for (const std::string& name : appenderNames(properties)) {
        log4cpp::Appender* appender = log4cpp::Appender::getAppender(name);
        const auto earlier = before.registered.find(name);
        if (appender && !owns(appender) && (earlier == before.registered.end() || earlier->second != appender)) {
            delete appender;
        }
    }
}

void LogAppenderSet::takeOver(const std::string& properties)
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

    const std::map<std::string, std::string> given = settings(properties);
    const std::vector<std::string> configured = categoryNames(properties);
    std::set<const log4cpp::Appender*> attached;
    for (log4cpp::Category* category : allCategories()) {
        const std::string& name = category->getName();
        const bool named = name.empty() || std::find(configured.begin(), configured.end(), name) != configured.end();
        if (!named) {
            makeNew(*category);
            continue;
        }
        for (log4cpp::Appender* appender : category->getAllAppenders()) {
            const auto found = replaced.find(appender);
            if (found != replaced.end() && found->first != found->second && !category->ownsAppender(appender)) {
                category->removeAppender(appender);
                category->addAppender(*found->second);
                attached.insert(found->second);
            } else if (owns(appender) && current.count(appender) == 0) {
                category->removeAppender(appender);
            } else {
                attached.insert(appender);
            }
        }
        if (!name.empty() && given.count("additivity." + name) == 0) {
            category->setAdditivity(category->getAllAppenders().empty());
        }
    }

    owned.erase(std::remove_if(owned.begin(), owned.end(),
                               [&](const auto& item) {
                                   return attached.count(item.get()) == 0 && current.count(item.get()) == 0;
                               }),
                owned.end());
}

} // namespace Norvik::Utils

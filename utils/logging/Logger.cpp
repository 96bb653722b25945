#include "utils/logging/Logger.h"

#include "utils/logging/ConsoleWriter.h"
#include "utils/logging/Log4cpp.h"
#include "utils/logging/LogAppenderSet.h"
#include "utils/logging/LogEnvironment.h"
#include "utils/threading/Mutex.h"
#include "utils/text/StringUtils.h"
#include "utils/threading/Thread.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace Norvik {

namespace {

namespace SU = Utils::StringUtils;
namespace Env = Utils::LogEnvironment;
using Utils::Threading::ScopedLock;

constexpr int priorityError = 300;
constexpr int priorityWarn = 400;
constexpr int priorityInfo = 600;

constexpr const char* logPattern = "%d{%Y.%m.%d %H:%M:%S.%l} T:%t %-5p [%c] %m%n";
constexpr const char* logFileName = "tdriver.log";

// Set once the Logger is gone: log calls made later (from other objects' destructors at exit)
// are dropped instead of reaching a destroyed log4cpp set-up.
std::atomic<bool> loggerClosed{false};

} // namespace

Logger& Logger::instance()
{
    static Logger logger;
    if (!loggerClosed) {
        logger.startWatch();
    }
    return logger;
}

Logger::Logger() : mutex(Utils::Threading::Mutex::create()), configTime(0), appenders(new Utils::LogAppenderSet())
{
    getLogDirectory();
    configPath = getConfigPath();
    configure();
    watchThread.reset(Utils::Threading::Thread::create(this));
}

Logger::~Logger()
{
    {
        ScopedLock lock(mutex.get());
        loggerClosed = true;
    }
    if (watchStarted && !watchThread->isFinished()) {
        watchThread->join();
    }
    watchThread.reset();
    {
        ScopedLock lock(mutex.get());
        appenders.reset();
    }
}

void Logger::startWatch()
{
    if (!watchStarted.exchange(true)) {
        watchThread->start(1000, -1);
    }
}

namespace {

// Whole or not at all: a full disk leaves no empty or cut file behind.
bool writeWhole(const std::wstring& path, const std::string& text)
{
    const std::wstring written = path + L".new";
    {
        std::ofstream output;
        Env::openOutput(output, written);
        output << text;
        output.close();
        if (output.fail()) {
            Env::removeFile(written);
            return false;
        }
    }
    if (!Env::renameFile(written, path)) {
        Env::removeFile(written);
        return false;
    }
    return true;
}

// As log4cpp reads a value: "${NAME}" is the setting or the environment variable of that name,
// "${${}" is "${".
std::string substituted(const std::string& value, const std::map<std::string, std::string>& settings)
{
    std::string result;
    std::size_t at = 0;
    for (std::size_t open = value.find("${"); open != std::string::npos; open = value.find("${", at)) {
        const std::size_t end = value.find('}', open + 2);
        if (end == std::string::npos) {
            break;
        }
        result += value.substr(at, open - at);
        const std::string key = value.substr(open + 2, end - open - 2);
        if (key == "${") {
            result += "${";
        } else if (const char* variable = std::getenv(key.c_str())) {
            result += variable;
        } else if (const auto setting = settings.find(key); setting != settings.end()) {
            result += setting->second;
        }
        at = end + 1;
    }
    return result + value.substr(at);
}

} // namespace

void Logger::configure()
{
    ScopedLock lock(mutex.get());
    std::string text;
    {
        std::ifstream input;
        Env::openInput(input, configPath);
        const bool missing = !input.is_open() || input.peek() == std::ifstream::traits_type::eof();
        // A default text that cannot name the log folder would send the log elsewhere. An empty
        // file counts as missing.
        if (missing && logFolderRefusal().empty() && writeWhole(configPath, getDefaultConfiguration())) {
            input.close();
            input.clear();
            Env::openInput(input, configPath);
        }
        // Taken before reading: a change made while log4cpp reads the file again is read next time.
        configTime = Env::modificationStamp(configPath);
        text.assign(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }
    const std::string refusal = targetRefusal(text);
    if (!refusal.empty()) {
        Utils::ConsoleWriter::writeLine(refusal);
        try {
            log4cpp::Category::getInstance("Log").error(refusal);
        } catch (...) {
        }
        return;
    }
    try {
        const Utils::LogAppenderSet::Snapshot before = Utils::LogAppenderSet::capture(text);
        bool accepted = true;
        try {
            log4cpp::PropertyConfigurator::configure(Env::nativePath(configPath));
        } catch (...) {
            accepted = false;
        }
        if (accepted) {
            appenders->takeOver(text);
        } else {
            appenders->restore(before, text);
        }
    } catch (...) {
    }
    takeLevels();
}

std::string Logger::targetRefusal(const std::string& properties)
{
    const std::map<std::string, std::string> settings = Utils::LogAppenderSet::settings(properties);
    for (const std::string& name : Utils::LogAppenderSet::appenderNames(properties)) {
        const auto fileName = settings.find("appender." + name + ".fileName");
        if (fileName == settings.end()) {
            continue;
        }
        const std::string target = substituted(fileName->second, settings);
        std::FILE* file = Env::openLogFile(Env::pathFromBytes(target));
        if (file) {
            std::fclose(file);
            continue;
        }
        return "Error: Log configuration refused, the log file of the appender \"" + name +
            "\" is not a regular file or cannot be created as one: " + target + "; the previous configuration stays";
    }
    return std::string();
}

bool Logger::Levels::enabled(const std::string& category, int priority) const
{
    // A category made after the configuration has no priority of its own: it takes its nearest
    // configured ancestor's, or the root's.
    std::string name = category;
    for (;;) {
        const auto found = categories.find(name);
        if (found != categories.end()) {
            return priority <= found->second;
        }
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos) {
            return priority <= root;
        }
        name.erase(dot);
    }
}

void Logger::takeLevels()
{
    auto taken = std::make_unique<Levels>();
    try {
        taken->root = log4cpp::Category::getRoot().getChainedPriority();
        std::unique_ptr<std::vector<log4cpp::Category*>> all(log4cpp::Category::getCurrentCategories());
        for (log4cpp::Category* category : *all) {
            if (!category->getName().empty()) {
                taken->categories[category->getName()] = category->getChainedPriority();
            }
        }
    } catch (...) {
        taken->root = log4cpp::Priority::NOTSET;
    }
    levels = taken.get();
    levelTables.push_back(std::move(taken));
}

void Logger::run()
{
    const std::int64_t stamp = Env::modificationStamp(configPath);
    if (stamp == 0 || stamp != configTime) {
        configure();
    }
}

void Logger::log(int priority, const std::string& category, const wchar_t* format, va_list args)
{
    if (loggerClosed || !format) {
        return;
    }
    // Decided before the lock: what the configuration does not let through costs no waiting.
    const Levels* current = levels;
    if (current && !current->enabled(category, priority)) {
        return;
    }
    ScopedLock lock(mutex.get());
    if (loggerClosed) {
        return;
    }
    try {
        log4cpp::Category& target = log4cpp::Category::getInstance(category);
        // Formatting has no effect of its own, so a disabled priority skips it.
        if (target.isPriorityEnabled(priority)) {
            target.log(priority, SU::toNarrow(SU::formatV(format, args), SU::Utf8));
        }
    } catch (...) {
    }
}

void Logger::error(const std::string& category, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    log(priorityError, category, format, args);
    va_end(args);
}

void Logger::warn(const std::string& category, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    log(priorityWarn, category, format, args);
    va_end(args);
}

void Logger::info(const std::string& category, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    log(priorityInfo, category, format, args);
    va_end(args);
}

std::string logFolderRefusal()
{
    const std::string folder = Env::pathBytes(getLogDirectory());
    if (folder.find_first_of("#\r\n") == std::string::npos) {
        return std::string();
    }
    std::string shown;
    for (const char c : folder) {
        shown += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    }
    return "Error: Can't name the log folder in the log configuration, its path holds '#' or a line break: " + shown;
}

std::string getDefaultConfiguration()
{
    // log4cpp replaces "${NAME}" in a value and reads "${${}" as "${".
    std::string folder = Env::pathBytes(getLogDirectory());
    for (std::size_t at = folder.find("${"); at != std::string::npos; at = folder.find("${", at + 5)) {
        folder.replace(at, 2, "${${}");
    }
    const std::string pattern = logPattern;
    const std::string lines[] = {
        "log4cpp.rootCategory=ERROR, file",
        "log4cpp.category.Lights=INFO, file",
        "log4cpp.category.Scales=DEBUG, file",
        "log4cpp.category.ScaleProtocol=DEBUG, file, file",
        "log4cpp.category.ScalePort=DEBUG, file, file",
        "log4cpp.category.COM=DEBUG, file, file",
        "log4cpp.category.Transport=INFO, file",
        "",
        "log4cpp.appender.console=ConsoleAppender",
        "log4cpp.appender.console.layout=PatternLayout",
        "log4cpp.appender.console.layout.ConversionPattern=" + pattern,
        "",
        "log4cpp.appender.file=DailyRollingFileAppender",
        "log4cpp.appender.file.fileName=" + folder + logFileName,
        "log4cpp.appender.file.maxDaysKeep=14",
        "log4cpp.appender.file.layout=PatternLayout",
        "log4cpp.appender.file.layout.ConversionPattern=" + pattern,
        "",
        "",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace Norvik

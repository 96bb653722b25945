#include "Logger.h"

#include "Log4cpp.h"
#include "LogAppenderSet.h"
#include "LogEnvironment.h"
#include "Mutex.h"
#include "StringUtils.h"
#include "Thread.h"

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

Logger::Logger()
    : mutex(Utils::Threading::Mutex::create()), watchThread(nullptr), configTime(0),
      appenders(new Utils::LogAppenderSet())
{
    getLogDirectory();
    configPath = getConfigPath();
    configure();
    watchThread = Utils::Threading::Thread::create(this);
}

Logger::~Logger()
{
    {
        ScopedLock lock(mutex);
        loggerClosed = true;
    }
    if (watchStarted && !watchThread->isFinished()) {
        watchThread->join();
    }
    delete watchThread;
    {
        ScopedLock lock(mutex);
        appenders.reset();
    }
    delete mutex;
}

void Logger::startWatch()
{
    if (!watchStarted.exchange(true)) {
        watchThread->start(1000, -1);
    }
}

void Logger::configure()
{
    ScopedLock lock(mutex);
    std::string text;
    {
        std::ifstream input;
        Env::openInput(input, configPath);
        if (!input.is_open()) {
            std::ofstream output;
            Env::openOutput(output, configPath);
            output << getDefaultConfiguration();
            output.close();
            Env::openInput(input, configPath);
        }
        text.assign(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }
    bool complete = true;
    try {
        log4cpp::PropertyConfigurator::configure(Env::nativePath(configPath));
    } catch (...) {
        complete = false;
    }
    try {
        appenders->takeOver(text, complete);
        std::unique_ptr<std::vector<log4cpp::Category*>> categories(log4cpp::Category::getCurrentCategories());
        for (log4cpp::Category* category : *categories) {
            if (!category->getName().empty()) {
                category->setAdditivity(false);
            }
        }
    } catch (...) {
    }
    configTime = Env::modificationStamp(configPath);
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
    ScopedLock lock(mutex);
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

std::string getDefaultConfiguration()
{
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
        "log4cpp.appender.file.fileName=" + SU::toNarrow(getLogDirectory(), SU::Utf8) + logFileName,
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

#pragma once

#include "utils/threading/Routine.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Norvik {

namespace Utils {
class LogAppenderSet;
namespace Threading {
class Mutex;
class Thread;
} // namespace Threading
} // namespace Utils

// The process-wide logging front end over log4cpp. Built on first use: finds or writes the
// configuration file, configures log4cpp from it and re-reads it whenever it changes (checked
// once a second on a watch thread). Messages are wide printf formats; log4cpp gets UTF-8.
class Logger : public Utils::Threading::Routine {
public:
    static Logger& instance();

    void error(const std::string& category, const wchar_t* format, ...);
    void warn(const std::string& category, const wchar_t* format, ...);
    void info(const std::string& category, const wchar_t* format, ...);

    void run() override;
    virtual ~Logger();

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    Logger();
    void configure();
    // Starts the watch once; outside the constructor, so that a failure logged while starting
    // it finds a finished Logger.
    void startWatch();
    void log(int priority, const std::string& category, const wchar_t* format, va_list args);
    // Why log4cpp must not be given the text: a file it names is not a regular file, or cannot be
    // created as one. Empty when it may be.
    static std::string targetRefusal(const std::string& properties);
    // Read without the lock: the priority up to which each category writes, as configured.
    struct Levels {
        std::map<std::string, int> categories;
        int root = 0;
        bool enabled(const std::string& category, int priority) const;
    };
    void takeLevels();

    std::unique_ptr<Utils::Threading::Mutex> mutex;
    std::unique_ptr<Utils::Threading::Thread> watchThread;
    std::wstring configPath;
    // Modification stamp (nanoseconds since 1970) of the file when last read; 0 before that.
    std::int64_t configTime;
    // The appenders of every configuration read so far, owned here rather than leaked.
    std::unique_ptr<Utils::LogAppenderSet> appenders;
    std::atomic<bool> watchStarted{false};
    // Every table taken stays until the Logger goes (configurations change rarely), so a log call
    // reads the current one through a plain pointer.
    std::atomic<const Levels*> levels{nullptr};
    std::vector<std::unique_ptr<const Levels>> levelTables;
};

// Where the system keeps its data; the two directory functions create their directory.
std::wstring getDataDirectory();
std::wstring getLogDirectory();
std::wstring getConfigPath();
// Names the log folder; written by the Logger only when logFolderRefusal() is empty.
std::string getDefaultConfiguration();
// Empty when the default configuration can name the log folder; otherwise the line that says
// why it cannot ('#' starts a comment in the configuration, a line break ends the setting).
std::string logFolderRefusal();

} // namespace Norvik

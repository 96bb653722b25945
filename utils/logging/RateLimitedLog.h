#pragma once

#include <chrono>
#include <cstdarg>
#include <mutex>
#include <string>

namespace Norvik::Utils {

// A log line that a crowd of clients could repeat without end: at most `burst` of them go to the
// log in each `window`; the rest are counted, and the next one that goes is preceded by one line
// saying how many were left out. Safe to use from any thread.
class RateLimitedLog {
public:
    RateLimitedLog(unsigned burst, std::chrono::steady_clock::duration window);

    void error(const std::string& category, const wchar_t* format, ...);
    void warn(const std::string& category, const wchar_t* format, ...);
    void info(const std::string& category, const wchar_t* format, ...);

    // Whether a line may go now; `omitted` gets the number left out since the last one that went.
    bool admit(unsigned long& omitted);

private:
    void log(int priority, const std::string& category, const wchar_t* format, va_list args);

    const unsigned burst;
    const std::chrono::steady_clock::duration window;
    std::mutex mutex;
    std::chrono::steady_clock::time_point windowStart{};
    unsigned inWindow = 0;
    unsigned long omittedLines = 0;
};

} // namespace Norvik::Utils

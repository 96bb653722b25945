#include "utils/logging/RateLimitedLog.h"

#include "utils/logging/Logger.h"
#include "utils/text/StringUtils.h"

namespace Norvik::Utils {

namespace {

constexpr int priorityError = 300;
constexpr int priorityWarn = 400;
constexpr int priorityInfo = 600;

} // namespace

RateLimitedLog::RateLimitedLog(unsigned burst, std::chrono::steady_clock::duration window)
    : burst(burst), window(window)
{
}

bool RateLimitedLog::admit(unsigned long& omitted)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    if (inWindow == 0 || now - windowStart >= window) {
        windowStart = now;
        inWindow = 0;
    }
    if (inWindow >= burst) {
        ++omittedLines;
        return false;
    }
    ++inWindow;
    omitted = omittedLines;
    omittedLines = 0;
    return true;
}

void RateLimitedLog::log(int priority, const std::string& category, const wchar_t* format, va_list args)
{
    unsigned long omitted = 0;
    if (!admit(omitted)) {
        return;
    }
    // Formatted here: the Logger's own entry points take arguments, not a va_list.
    const std::wstring text = StringUtils::formatV(format, args);
    Logger& logger = Logger::instance();
    const auto write = [&](const std::wstring& line) {
        if (priority <= priorityError) {
            logger.error(category, L"%ls", line.c_str());
        } else if (priority <= priorityWarn) {
            logger.warn(category, L"%ls", line.c_str());
        } else {
            logger.info(category, L"%ls", line.c_str());
        }
    };
    if (omitted > 0) {
        write(StringUtils::format(L"%lu lines like the next were left out", omitted));
    }
    write(text);
}

void RateLimitedLog::error(const std::string& category, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    log(priorityError, category, format, args);
    va_end(args);
}

void RateLimitedLog::warn(const std::string& category, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    log(priorityWarn, category, format, args);
    va_end(args);
}

void RateLimitedLog::info(const std::string& category, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    log(priorityInfo, category, format, args);
    va_end(args);
}

} // namespace Norvik::Utils

#pragma once

#include "utils/logging/Log4cpp.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

namespace Norvik::Utils {

class LogCompressor;
namespace Threading {
class Thread;
}

// The "file" appender: appends to a file opened by its wide name; when the day changes the
// file is moved to its name followed by ".YYYY-MM-DD" (the finished day), a new file is
// opened, the moved one is compressed to ".gz" in the background and files beginning with the
// log file's name that are older than maxDaysKeep days are removed.
class GzipDailyRollingFileAppender : public log4cpp::LayoutAppender {
public:
    // Carries on the name, file, maxDaysKeep, layout and threshold of a configured appender,
    // which it keeps (its layout is used) after closing its file.
    explicit GzipDailyRollingFileAppender(std::unique_ptr<log4cpp::DailyRollingFileAppender> configured);
    GzipDailyRollingFileAppender(const std::string& name, const std::string& fileNameUtf8, unsigned int maxDaysKeep);
    ~GzipDailyRollingFileAppender() override;

    bool reopen() override;
    void close() override;
    void setLayout(log4cpp::Layout* layout) override;

    const std::wstring& getPath() const { return path; }
    unsigned int getMaxDaysKeep() const { return maxDaysKeep; }
    // Waits for the compression in progress, if any.
    void waitForCompression();

protected:
    void _append(const log4cpp::LoggingEvent& event) override;
    // The clock that decides when a day has ended.
    virtual std::time_t now() const;

private:
    void open();
    void rollOver(std::time_t time);
    std::wstring rolledName(const std::tm& day) const;
    void startCompression(const std::wstring& rolled);
    void purge(std::time_t time, const std::wstring& rolled);
    log4cpp::Layout& layout();

    std::unique_ptr<log4cpp::DailyRollingFileAppender> configured;
    std::wstring path;
    unsigned int maxDaysKeep;
    std::FILE* file = nullptr;
    std::tm logsDay{};
    bool rolling = false;
    std::unique_ptr<LogCompressor> compressor;
    std::unique_ptr<Threading::Thread> compression;
};

} // namespace Norvik::Utils

#include "utils/logging/GzipDailyRollingFileAppender.h"

#include "utils/logging/Log4cppAccess.h"
#include "utils/logging/LogCompressor.h"
#include "utils/logging/LogEnvironment.h"
#include "utils/text/StringUtils.h"
#include "utils/threading/Thread.h"

namespace Norvik::Utils {

namespace {

namespace SU = StringUtils;
namespace Env = LogEnvironment;

constexpr std::time_t secondsPerDay = 24 * 60 * 60;

std::tm localDay(std::time_t time)
{
    return Env::localTime(time);
}

bool sameDay(const std::tm& a, const std::tm& b)
{
    return a.tm_year == b.tm_year && a.tm_yday == b.tm_yday;
}

} // namespace

GzipDailyRollingFileAppender::GzipDailyRollingFileAppender(std::unique_ptr<log4cpp::DailyRollingFileAppender> source)
    : log4cpp::LayoutAppender(source->getName()), configured(std::move(source)),
      path(Env::pathFromBytes(Log4cppAccess::FileNameOf::get(*configured))), maxDaysKeep(configured->getMaxDaysToKeep())
{
    configured->close();
    setThreshold(configured->getThreshold());
    open();
}

GzipDailyRollingFileAppender::GzipDailyRollingFileAppender(const std::string& name, const std::string& fileNameUtf8,
                                                           unsigned int maxDaysKeep)
    : log4cpp::LayoutAppender(name), path(Env::pathFromBytes(fileNameUtf8)), maxDaysKeep(maxDaysKeep)
{
    open();
}

GzipDailyRollingFileAppender::~GzipDailyRollingFileAppender()
{
    close();
    waitForCompression();
}

void GzipDailyRollingFileAppender::open()
{
    file = Env::openLogFile(path);
    const std::int64_t stamp = file ? Env::modificationStamp(path) : 0;
    logsDay = localDay(stamp != 0 ? static_cast<std::time_t>(stamp / 1000000000) : now());
}

bool GzipDailyRollingFileAppender::reopen()
{
    close();
    file = Env::openLogFile(path);
    return file != nullptr;
}

void GzipDailyRollingFileAppender::close()
{
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
}

void GzipDailyRollingFileAppender::setLayout(log4cpp::Layout* layout)
{
    if (configured) {
        configured->setLayout(layout);
    } else {
        log4cpp::LayoutAppender::setLayout(layout);
    }
}

log4cpp::Layout& GzipDailyRollingFileAppender::layout()
{
    return configured ? Log4cppAccess::LayoutOf::get(*configured) : _getLayout();
}

std::time_t GzipDailyRollingFileAppender::now() const
{
    return std::time(nullptr);
}

void GzipDailyRollingFileAppender::_append(const log4cpp::LoggingEvent& event)
{
    const std::string text = layout().format(event);
    const std::time_t time = now();
    // Nothing but a regular file is rolled over: a device or a FIFO named as the log is left alone.
    if (file && !rolling && !sameDay(localDay(time), logsDay)) {
        rollOver(time);
    }
    if (file) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fflush(file);
    }
}

std::wstring GzipDailyRollingFileAppender::rolledName(const std::tm& day) const
{
    const std::wstring dated = path + SU::format(L".%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
    // A day seen twice (the clock was set back) gets a numbered name instead of replacing the
    // earlier file or its archive.
    std::wstring candidate = dated;
    for (int number = 1; Env::fileExists(candidate) || Env::fileExists(candidate + L".gz"); ++number) {
        candidate = dated + SU::format(L".%d", number);
    }
    return candidate;
}

void GzipDailyRollingFileAppender::rollOver(std::time_t time)
{
    // Anything logged while rolling over (a failed thread start) goes on into the open file.
    rolling = true;
    const std::tm finished = logsDay;
    logsDay = localDay(time);
    close();
    const std::wstring rolled = rolledName(finished);
    const bool moved = Env::isRegularFile(path) && Env::renameFile(path, rolled);
    file = Env::openLogFile(path);
    if (moved) {
        startCompression(rolled);
    }
    purge(time, moved ? rolled : std::wstring());
    rolling = false;
}

void GzipDailyRollingFileAppender::startCompression(const std::wstring& rolled)
{
    waitForCompression();
    compression.reset();
    compressor = std::make_unique<LogCompressor>(rolled);
    compression.reset(Threading::Thread::create(compressor.get()));
    compression->start(0, 1);
}

void GzipDailyRollingFileAppender::waitForCompression()
{
    if (compression) {
        compression->join();
    }
}

void GzipDailyRollingFileAppender::purge(std::time_t time, const std::wstring& rolled)
{
    if (maxDaysKeep == 0) {
        return;
    }
    const std::size_t split = path.find_last_of(Env::pathSeparators);
    const std::wstring directory = split == std::wstring::npos ? std::wstring(L".") : path.substr(0, split + 1);
    const std::wstring base = split == std::wstring::npos ? path : path.substr(split + 1);
    const std::wstring prefix = split == std::wstring::npos ? std::wstring() : directory;
    const std::time_t oldest = time - static_cast<std::time_t>(maxDaysKeep) * secondsPerDay;
    for (const Env::DirectoryEntry& entry : Env::listDirectory(directory)) {
        if (!entry.regular || entry.name.compare(0, base.size(), base) != 0 || entry.modified >= oldest) {
            continue;
        }
        const std::wstring full = prefix + entry.name;
        // The current file and the one being compressed are never purged.
        if (full == path || (!rolled.empty() && (full == rolled || full == rolled + L".gz"))) {
            continue;
        }
        Env::removeFile(full);
    }
}

} // namespace Norvik::Utils

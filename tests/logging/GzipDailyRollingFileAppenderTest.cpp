#include "utils/logging/GzipDailyRollingFileAppender.h"
#include "utils/logging/LogCompressor.h"
#include "tests/logging/LogTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#include <sys/stat.h>

using namespace LogTestFiles;

namespace {

constexpr std::time_t day = 24 * 60 * 60;

// The appender with a clock the test sets, so a day can end at once.
class ClockedAppender : public Norvik::Utils::GzipDailyRollingFileAppender {
public:
    ClockedAppender(const std::string& file, unsigned int maxDaysKeep)
        : GzipDailyRollingFileAppender("file", file, maxDaysKeep)
    {
        setLayout(new log4cpp::PatternLayout());
        static_cast<log4cpp::PatternLayout&>(_getLayout()).setConversionPattern("%m%n");
    }
    void write(const std::string& message)
    {
        doAppend(log4cpp::LoggingEvent("DL", message, "", log4cpp::Priority::ERROR));
    }
    void writeAt(std::time_t when, const std::string& message)
    {
        clock = when;
        write(message);
    }
    std::time_t clock = std::time(nullptr);

protected:
    std::time_t now() const override { return clock; }
};

class GzipDailyRollingFileAppenderTest : public testing::Test {
protected:
    const TempDir scratch;
    const std::string directory = scratch.path();
    const std::string logFile = directory + "/tdriver.log";
    const std::time_t start = std::time(nullptr);
};

} // namespace

TEST_F(GzipDailyRollingFileAppenderTest, DayChangeMovesCompressesAndOpensNewFileSilently)
{
    testing::internal::CaptureStdout();
    {
        ClockedAppender appender(logFile, 14);
        appender.write("first day, line one");
        appender.write("first day, line two");
        EXPECT_EQ(readFile(logFile), "first day, line one\nfirst day, line two\n");
        appender.writeAt(start + day, "second day");
        appender.waitForCompression();
        EXPECT_EQ(readFile(logFile), "second day\n");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    const std::string rolled = logFile + "." + localDate(start);
    EXPECT_EQ(readGzip(rolled + ".gz"), "first day, line one\nfirst day, line two\n");
    EXPECT_FALSE(fileExists(rolled)) << "uncompressed dated file left behind";
}

TEST_F(GzipDailyRollingFileAppenderTest, SameDaySeenTwiceKeepsBothArchives)
{
    ClockedAppender appender(logFile, 14);
    appender.writeAt(start, "one");
    appender.writeAt(start + day, "two");
    appender.writeAt(start, "three");
    appender.writeAt(start + day, "four");
    appender.waitForCompression();

    const std::string first = logFile + "." + localDate(start);
    EXPECT_EQ(readGzip(first + ".gz"), "one\n");
    EXPECT_EQ(readGzip(first + ".1.gz"), "three\n");
    EXPECT_EQ(readGzip(logFile + "." + localDate(start + day) + ".gz"), "two\n");
    EXPECT_EQ(readFile(logFile), "four\n");
}

TEST_F(GzipDailyRollingFileAppenderTest, RollOverPurgesOnlyOldFilesBeginningWithTheName)
{
    const std::time_t old = start - 20 * day;
    const std::vector<std::string> purged = {logFile + ".2020-01-01.gz", logFile + ".old"};
    const std::vector<std::string> kept = {logFile + ".recent", directory + "/copy-of-tdriver.log",
                                           directory + "/other.txt"};
    for (const auto* group : {&purged, &kept}) {
        for (const std::string& path : *group) {
            writeFile(path, "x");
            setModificationTime(path, old);
        }
    }
    setModificationTime(logFile + ".recent", start - 5 * day);
    const std::string directoryWithName = logFile + ".d";
    ASSERT_EQ(mkdir(directoryWithName.c_str(), 0755), 0);
    setModificationTime(directoryWithName, old);

    ClockedAppender appender(logFile, 14);
    appender.write("before");
    for (const std::string& path : purged)
        EXPECT_TRUE(fileExists(path)) << "purged before any roll-over: " << path;
    appender.writeAt(start + day, "after");
    appender.waitForCompression();

    for (const std::string& path : purged)
        EXPECT_FALSE(fileExists(path)) << path;
    for (const std::string& path : kept)
        EXPECT_TRUE(fileExists(path)) << path;
    EXPECT_TRUE(std::filesystem::is_directory(directoryWithName));
    EXPECT_EQ(readGzip(logFile + "." + localDate(start) + ".gz"), "before\n");
}

TEST_F(GzipDailyRollingFileAppenderTest, CompressorRoundTripsManyBlocksAndKeepsSourceOnFailure)
{
    std::string text;
    for (int i = 0; text.size() < 5000; ++i)
        text += "line " + std::to_string(i * 7919 % 1000) + " Зелёный\n";
    const std::string source = directory + "/tdriver.log.2026-01-02";
    writeFile(source, text);
    std::wstring wideSource(source.begin(), source.end());
    EXPECT_TRUE(Norvik::Utils::LogCompressor::compress(wideSource, wideSource + L".gz"));
    EXPECT_EQ(readGzip(source + ".gz"), text);
    EXPECT_FALSE(fileExists(source));

    writeFile(source, text);
    const std::wstring unwritable = wideSource + L".missing-dir/archive.gz";
    EXPECT_FALSE(Norvik::Utils::LogCompressor::compress(wideSource, unwritable));
    EXPECT_EQ(readFile(source), text) << "the log was lost although no archive was written";

    EXPECT_FALSE(Norvik::Utils::LogCompressor::compress(wideSource + L".none", wideSource + L".none.gz"));
    EXPECT_FALSE(fileExists(source + ".none.gz"));
}

// A FIFO nobody reads and a link to a device as the log: the appender neither waits on them nor
// moves, compresses or purges them; only regular files are purged.
TEST_F(GzipDailyRollingFileAppenderTest, OnlyRegularFilesAreOpenedRolledOverOrPurged)
{
    const std::string fifo = directory + "/fifo.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string device = directory + "/null.log";
    scratch.link("/dev/null", "null.log");
    const std::time_t old = start - 20 * day;
    const std::string siblings[] = {device + ".link", fifo + ".old"};
    scratch.link("/dev/null", "null.log.link");
    ASSERT_EQ(mkfifo(siblings[1].c_str(), 0644), 0);
    writeFile(device + ".regular", "x");
    setModificationTime(device + ".regular", old);

    for (const std::string& target : {fifo, device}) {
        ClockedAppender appender(target, 14);
        appender.writeAt(old, "first");
        appender.writeAt(start + day, "second");
        appender.waitForCompression();
    }
    struct stat status {};
    ASSERT_EQ(stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ASSERT_EQ(lstat(device.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    for (const std::string& sibling : siblings)
        EXPECT_TRUE(fileExists(sibling)) << sibling;
    EXPECT_TRUE(fileExists(device + ".regular")) << "purged without a roll-over of the log itself";
    EXPECT_FALSE(fileExists(fifo + "." + localDate(old) + ".gz"));
    EXPECT_FALSE(fileExists(device + "." + localDate(old) + ".gz"));
}

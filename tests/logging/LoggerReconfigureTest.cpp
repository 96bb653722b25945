#include "tests/logging/LogTestFiles.h"
#include "tests/support/Contract.h"
#include "utils/logging/ConsoleWriter.h"
#include "utils/logging/Logger.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace LogTestFiles;
using namespace std::chrono_literals;

namespace {

// The watch looks once a second; on a loaded machine a change can take several to show.
constexpr auto watchGuard = 15s;

bool logContains(const std::string& path, const std::string& text)
{
    return readFile(path).find(text) != std::string::npos;
}

// Logs the marker until it shows up in the file (the watch picks up changes once a second).
bool infoReaches(const std::string& logFile, const std::string& category, const std::wstring& marker)
{
    const std::string narrow(marker.begin(), marker.end());
    return waitUntil(
        [&] {
            Norvik::Logger::instance().info(category, L"%ls", marker.c_str());
            return logContains(logFile, narrow);
        },
        watchGuard, 20ms);
}

} // namespace

TEST(LoggerReconfigure, EditsDeletionAndGarbageTakeEffectWhileRunning)
{
    static const TempDir scratch; // outlives the Logger
    const std::string home = scratch.path();
    useDataHome(home);
    const std::string configFile = home + "/not/there/yet/lamp.properties";
    setenv("DRV_LOG_CONFIG_FILE", configFile.c_str(), 1);
    const std::string logFile = home + std::string(Contract::logFile);

    Norvik::Logger::instance().info("SServer", L"%ls", L"before-edit");
    const std::string defaults = Norvik::getDefaultConfiguration();
    ASSERT_EQ(readFile(configFile), defaults) << "default text in the folder created for the variable";
    EXPECT_FALSE(logContains(logFile, "before-edit"));

    // Naming SServer at INFO with the file appender lets the transport's INFO through, once.
    writeFile(configFile, defaults + "log4cpp.category.SServer=INFO, file\n");
    ASSERT_TRUE(infoReaches(logFile, "SServer", L"after-edit"));
    Norvik::Logger::instance().info("SServer", L"%ls - %ls", L"Привет", L"мир");
    EXPECT_TRUE(logContains(logFile, " INFO  [SServer] Привет - мир\n")) << readFile(logFile);
    Norvik::Logger::instance().error("SServer", L"%ls", L"error-once");
    EXPECT_EQ(countOf(readFile(logFile), "error-once"), 1) << readFile(logFile);

    // A deleted file comes back with the default text; SServer, no longer named, writes through
    // the root as a new category would: its errors, not its INFO.
    std::remove(configFile.c_str());
    ASSERT_TRUE(waitUntil([&] { return readFile(configFile) == defaults; }, watchGuard));
    EXPECT_TRUE(waitUntil(
        [&] {
            Norvik::Logger::instance().info("SServer", L"%ls", L"info-after-delete");
            Norvik::Logger::instance().error("SServer", L"%ls", L"error-after-delete");
            return logContains(logFile, "ERROR [SServer] error-after-delete\n");
        },
        watchGuard));
    EXPECT_FALSE(logContains(logFile, "info-after-delete"));

    // Raising the root to DEBUG lets the INFO of categories that exist already through.
    Norvik::Logger::instance().error("DL", L"%ls", L"dl-exists");
    std::string raised = defaults;
    raised.replace(raised.find("rootCategory=ERROR"), 18, "rootCategory=DEBUG");
    writeFile(configFile, raised);
    ASSERT_TRUE(infoReaches(logFile, "DL", L"dl-info-at-debug"));

    // Rejected part-way (the unknown level comes after the root was re-pointed to the console):
    // the previous set-up stays whole, nothing reaches the console.
    testing::internal::CaptureStdout();
    writeFile(configFile,
              "log4cpp.rootCategory=ERROR, console\n=\x01\x02 garbage\n"
              "log4cpp.category.Zed=NOSUCHLEVEL\n"
              "log4cpp.appender.console=ConsoleAppender\n"
              "log4cpp.appender.console.layout=PatternLayout\n");
    std::this_thread::sleep_for(2500ms);
    Norvik::Logger::instance().error("FreshCategory", L"%ls", L"after-garbage");
    Norvik::Logger::instance().info("DL", L"%ls", L"dl-info-after-garbage");
    Norvik::Utils::ConsoleWriter::flush();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(logContains(logFile, "ERROR [FreshCategory] after-garbage\n")) << readFile(logFile);
    EXPECT_TRUE(logContains(logFile, "INFO  [DL] dl-info-after-garbage\n")) << readFile(logFile);
    EXPECT_EQ(readFile(configFile).find("log4cpp.appender.file="), std::string::npos) << "the garbage stays as written";
    EXPECT_EQ(readFile(logFile).find("[Thread]"), std::string::npos) << "the configurator's failure escaped the watch";

    // A log file that is no regular file (a FIFO nobody reads) is refused with one line; the
    // previous set-up stays and nothing waits on the FIFO.
    const std::string fifo = home + "/fifo.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::string toFifo = defaults;
    toFifo.replace(toFifo.find(logFile), logFile.size(), fifo);
    writeFile(configFile, toFifo);
    const std::string refusal = "ERROR [Log] Error: Log configuration refused, the log file of the appender \"file\" "
                                "is not a regular file or cannot be created as one: " +
        fifo + "; the previous configuration stays\n";
    ASSERT_TRUE(waitUntil([&] { return logContains(logFile, refusal); }, watchGuard)) << readFile(logFile);
    std::this_thread::sleep_for(1500ms);
    Norvik::Logger::instance().error("DL", L"%ls", L"after-fifo");
    EXPECT_TRUE(logContains(logFile, "ERROR [DL] after-fifo\n"));
    EXPECT_EQ(countOf(readFile(logFile), "Log configuration refused"), 1);
    struct stat status {};
    ASSERT_EQ(stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // An empty file counts as missing: the default text is written again.
    writeFile(configFile, "");
    EXPECT_TRUE(waitUntil([&] { return readFile(configFile) == defaults; }, watchGuard));
}

#include "tests/logging/LogTestFiles.h"
#include "utils/logging/Logger.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <regex>

using namespace LogTestFiles;

namespace {

std::string expectedDefaultText(const std::string& logDirectory)
{
    const std::string pattern = "%d{%Y.%m.%d %H:%M:%S.%l} T:%t %-5p [%c] %m%n";
    return "log4cpp.rootCategory=ERROR, file\n"
           "log4cpp.category.Lights=INFO, file\n"
           "log4cpp.category.Scales=DEBUG, file\n"
           "log4cpp.category.ScaleProtocol=DEBUG, file, file\n"
           "log4cpp.category.ScalePort=DEBUG, file, file\n"
           "log4cpp.category.COM=DEBUG, file, file\n"
           "log4cpp.category.Transport=INFO, file\n"
           "\n"
           "log4cpp.appender.console=ConsoleAppender\n"
           "log4cpp.appender.console.layout=PatternLayout\n"
           "log4cpp.appender.console.layout.ConversionPattern=" +
        pattern +
        "\n"
        "\n"
        "log4cpp.appender.file=DailyRollingFileAppender\n"
        "log4cpp.appender.file.fileName=" +
        logDirectory +
        "tdriver.log\n"
        "log4cpp.appender.file.maxDaysKeep=14\n"
        "log4cpp.appender.file.layout=PatternLayout\n"
        "log4cpp.appender.file.layout.ConversionPattern=" +
        pattern +
        "\n"
        "\n"
        "\n";
}

// The line that ends with the text, checked against the layout's shape: date, time with
// milliseconds, thread, priority padded to five, category, message.
bool hasLogLine(const std::string& log, const std::string& priorityAndRest)
{
    const std::size_t end = log.find(priorityAndRest + "\n");
    if (end == std::string::npos) {
        return false;
    }
    // On the first line, npos + 1 is 0.
    const std::size_t start = log.rfind('\n', end) + 1;
    static const std::regex head(R"(\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\.\d{3} T:[^ ]+ )");
    return std::regex_match(log.substr(start, end - start), head);
}

} // namespace

// One scenario per process: the Logger is process-wide and reads its folders once.
TEST(LoggerDefault, FirstLogWritesFoldersDefaultTextAndRootErrors)
{
    // log4cpp would put the value of HOME in place of "${HOME}" in the configuration.
    // Removed at exit, after the Logger (built later) has stopped writing there.
    static const TempDir scratch;
    const std::string home = scratch.path() + "/kiosk${HOME}";
    useDataHome(home);
    const std::string data = home + "/NORVIK/tessarodriver";
    const std::string logs = data + "/logs/";
    ASSERT_FALSE(fileExists(home + "/NORVIK"));

    testing::internal::CaptureStdout();
    Norvik::Logger::instance().error("DL", L"Library loading is failed %ls (%d)", L"libBrillLamp.so", 126);
    Norvik::Logger::instance().info("SServer", L"client %d connected", 5);
    Norvik::Logger::instance().warn("Thread", L"warned %d", 1);
    Norvik::Logger::instance().error("Thread", L"%ls - %ls", L"Красный", L"Зелёный");
    const std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(std::filesystem::is_directory(home + "/NORVIK"));
    EXPECT_TRUE(std::filesystem::is_directory(data));
    EXPECT_TRUE(std::filesystem::is_directory(logs));
    const std::string written = scratch.path() + "/kiosk${${}HOME}/NORVIK/tessarodriver/logs/";
    EXPECT_EQ(readFile(data + "/tessarodriver_log.properties"), expectedDefaultText(written));
    EXPECT_EQ(Norvik::getDefaultConfiguration(), expectedDefaultText(written));
    EXPECT_EQ(Norvik::logFolderRefusal(), "");
    EXPECT_EQ(Norvik::getLogDirectory(), Norvik::getDataDirectory() + L"/logs/");

    const std::string log = readFile(logs + "tdriver.log");
    EXPECT_TRUE(hasLogLine(log, "ERROR [DL] Library loading is failed libBrillLamp.so (126)")) << log;
    EXPECT_EQ(log.find("client 5 connected"), std::string::npos) << "INFO passed the root's ERROR";
    EXPECT_EQ(log.find("warned"), std::string::npos) << "WARN passed the root's ERROR";
    EXPECT_NE(log.find(" [Thread] Красный - Зелёный\n"), std::string::npos) << log;
    EXPECT_EQ(printed, "");
    const char* variable = std::getenv("HOME");
    EXPECT_FALSE(fileExists(scratch.path() + "/kiosk" + (variable ? variable : "") + "/NORVIK"))
        << "the log went to the substituted folder";
}

#include "tests/logging/LogTestFiles.h"
#include "utils/logging/Logger.h"

#include <gtest/gtest.h>
#include <cctype>
#include <cstdlib>
#include <filesystem>

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
    const std::string shape = "dddd.dd.dd dd:dd:dd.ddd T:";
    const std::size_t end = log.find(priorityAndRest + "\n");
    if (end == std::string::npos) {
        return false;
    }
    const std::size_t start = log.rfind('\n', end) == std::string::npos ? 0 : log.rfind('\n', end) + 1;
    const std::string head = log.substr(start, end - start);
    if (head.size() < shape.size() + 2 || head.back() != ' ') {
        return false;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(head[i])) != 0;
        if (shape[i] == 'd' ? !digit : head[i] != shape[i]) {
            return false;
        }
    }
    const std::string thread = head.substr(shape.size(), head.size() - shape.size() - 1);
    return !thread.empty() && thread.find(' ') == std::string::npos;
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
    EXPECT_NE(log.find(" [Thread] \xD0\x9A\xD1\x80\xD0\xB0\xD1\x81\xD0\xBD\xD1\x8B\xD0\xB9 - "
                       "\xD0\x97\xD0\xB5\xD0\xBB\xD1\x91\xD0\xBD\xD1\x8B\xD0\xB9\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(printed, "");
    const char* variable = std::getenv("HOME");
    EXPECT_FALSE(fileExists(scratch.path() + "/kiosk" + (variable ? variable : "") + "/NORVIK"))
        << "the log went to the substituted folder";
}

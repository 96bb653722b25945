#include "LogTestFiles.h"
#include "Logger.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <gtest/gtest.h>

using namespace LogTestFiles;
using namespace std::chrono_literals;

namespace {

bool logContains(const std::string& path, const std::string& text) { return readFile(path).find(text) != std::string::npos; }

// Logs the marker until it shows up in the file (the watch picks up changes once a second).
bool infoReaches(const std::string& logFile, const std::string& category, const std::wstring& marker)
{
    const std::string narrow(marker.begin(), marker.end());
    return waitFor(
        [&] {
            Norvik::Logger::instance().info(category, L"%ls", marker.c_str());
            return logContains(logFile, narrow);
        },
        4s);
}

} // namespace

TEST(LoggerReconfigure, EditsDeletionAndGarbageTakeEffectWhileRunning)
{
    const std::string home = makeTempDirectory();
    removeTreeAtExit(home);
    useDataHome(home);
    const std::string configFile = home + "/not/there/yet/lamp.properties";
    setenv("DRV_LOG_CONFIG_FILE", configFile.c_str(), 1);
    const std::string logFile = home + "/NORVIK/tessarodriver/logs/tdriver.log";

    Norvik::Logger::instance().info("SServer", L"%ls", L"before-edit");
    const std::string defaults = Norvik::getDefaultConfiguration();
    ASSERT_EQ(readFile(configFile), defaults) << "default text in the folder created for the variable";
    EXPECT_FALSE(logContains(logFile, "before-edit"));

    // Naming SServer at INFO with the file appender lets the transport's INFO through.
    writeFile(configFile, defaults + "log4cpp.category.SServer=INFO, file\n");
    ASSERT_TRUE(infoReaches(logFile, "SServer", L"after-edit"));
    Norvik::Logger::instance().info("SServer", L"%ls - %ls", L"Привет", L"мир");
    EXPECT_TRUE(logContains(logFile, " INFO  [SServer] \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 - "
                                     "\xD0\xBC\xD0\xB8\xD1\x80\n"))
        << readFile(logFile);

    // A deleted file comes back with the default text, and SServer (now existing, not named)
    // writes nowhere.
    std::remove(configFile.c_str());
    ASSERT_TRUE(waitFor([&] { return readFile(configFile) == defaults; }, 3s));
    EXPECT_TRUE(waitFor(
        [&] {
            const std::string before = readFile(logFile);
            Norvik::Logger::instance().info("SServer", L"%ls", L"after-delete");
            return readFile(logFile) == before;
        },
        3s));

    // Garbage is swallowed: the previous appenders stay and a new category logs through the root.
    writeFile(configFile, "log4cpp.rootCategory=NOSUCHLEVEL, nowhere\n=\x01\x02 garbage\nlog4cpp.appender.x=NoSuchAppender\n");
    std::this_thread::sleep_for(2500ms);
    Norvik::Logger::instance().error("FreshCategory", L"%ls", L"after-garbage");
    EXPECT_TRUE(logContains(logFile, "ERROR [FreshCategory] after-garbage\n")) << readFile(logFile);
    EXPECT_EQ(readFile(configFile).find("log4cpp.appender.file="), std::string::npos) << "the garbage stays as written";
    EXPECT_EQ(readFile(logFile).find("[Thread]"), std::string::npos) << "the configurator's failure escaped the watch";
}

#include "CodePageConsoleAppender.h"
#include "GzipDailyRollingFileAppender.h"
#include "LogAppenderSet.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace LogTestFiles;

TEST(LogAppenderSet, NamesTheAppendersAPropertiesTextDefines)
{
    const std::string text = "# log4cpp.appender.commented=ConsoleAppender\n"
                             "log4cpp.rootCategory=ERROR, file\n"
                             "  log4cpp.appender.file = DailyRollingFileAppender\r\n"
                             "log4cpp.appender.file.fileName=/tmp/x.log\n"
                             "log4cpp.appender.console=ConsoleAppender\n"
                             "log4cpp.appender.file=RollingFileAppender\n"
                             "log4cpp.appender.=Broken\n"
                             "log4cpp.appender.noequals\n";
    EXPECT_EQ(Norvik::Utils::LogAppenderSet::appenderNames(text), (std::vector<std::string>{"file", "console"}));
}

TEST(LogAppenderSet, ConfiguredAppendersAreReplacedWithTheirSettingsAndReleased)
{
    const std::string directory = makeTempDirectory();
    const std::string logFile = directory + "/tdriver.log";
    const std::string properties = "log4cpp.rootCategory=ERROR, file\n"
                                   "log4cpp.category.Lamp=INFO, file, console\n"
                                   "log4cpp.appender.console=ConsoleAppender\n"
                                   "log4cpp.appender.console.layout=PatternLayout\n"
                                   "log4cpp.appender.console.layout.ConversionPattern=console %c %m%n\n"
                                   "log4cpp.appender.file=DailyRollingFileAppender\n"
                                   "log4cpp.appender.file.fileName=" + logFile + "\n"
                                   "log4cpp.appender.file.maxDaysKeep=3\n"
                                   "log4cpp.appender.file.threshold=WARN\n"
                                   "log4cpp.appender.file.layout=PatternLayout\n"
                                   "log4cpp.appender.file.layout.ConversionPattern=[%p] %c %m%n\n";
    const std::string configFile = directory + "/log.properties";
    writeFile(configFile, properties);

    testing::internal::CaptureStdout();
    {
        Norvik::Utils::LogAppenderSet set;
        // Configured twice: the first generation is released, not leaked with its file open.
        for (int round = 0; round < 2; ++round) {
            log4cpp::PropertyConfigurator::configure(configFile);
            set.takeOver(properties, true);
        }
        log4cpp::Category& lamp = log4cpp::Category::getInstance("Lamp");
        lamp.setAdditivity(false);
        const log4cpp::AppenderSet attached = lamp.getAllAppenders();
        ASSERT_EQ(attached.size(), 2u);
        for (log4cpp::Appender* appender : attached) {
            if (auto* file = dynamic_cast<Norvik::Utils::GzipDailyRollingFileAppender*>(appender)) {
                EXPECT_EQ(file->getPath(), std::wstring(logFile.begin(), logFile.end()));
                EXPECT_EQ(file->getMaxDaysKeep(), 3u);
                EXPECT_EQ(file->getThreshold(), log4cpp::Priority::WARN);
            } else {
                EXPECT_NE(dynamic_cast<Norvik::Utils::CodePageConsoleAppender*>(appender), nullptr);
            }
        }
        lamp.info("info text");
        lamp.error("Ошибка лампы");
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "console Lamp info text\nconsole Lamp Ошибка лампы\n");
    EXPECT_EQ(readFile(logFile), "[ERROR] Lamp Ошибка лампы\n");
    // Released with the set: nothing of it is left attached.
    EXPECT_TRUE(log4cpp::Category::getInstance("Lamp").getAllAppenders().empty());
    EXPECT_TRUE(log4cpp::Category::getRoot().getAllAppenders().empty());
    removeTree(directory);
}

TEST(CodePageConsoleAppender, LinuxConsoleGetsTheUtf8Unchanged)
{
    std::ostringstream console;
    Norvik::Utils::CodePageConsoleAppender appender("console", console);
    auto* layout = new log4cpp::PatternLayout();
    layout->setConversionPattern("%p %m%n");
    appender.setLayout(layout);
    appender.doAppend(log4cpp::LoggingEvent("DL", "Красный", "", log4cpp::Priority::ERROR));
    EXPECT_EQ(console.str(), "ERROR Красный\n");
}

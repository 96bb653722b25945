#include "utils/logging/CodePageConsoleAppender.h"
#include "utils/logging/ConsoleWriter.h"
#include "utils/logging/GzipDailyRollingFileAppender.h"
#include "utils/logging/LogAppenderSet.h"
#include "tests/logging/LogTestFiles.h"

#include <gtest/gtest.h>
#include <chrono>
#include <sstream>
#include <thread>

using namespace LogTestFiles;
using Set = Norvik::Utils::LogAppenderSet;

TEST(LogAppenderSet, NamesWhatAPropertiesTextDefinesAsLog4cppReadsIt)
{
    const std::string text = "# log4cpp.appender.commented=ConsoleAppender\n"
                             "log4cpp.rootCategory=ERROR, file\n"
                             "  log4cpp.appender.file = DailyRollingFileAppender\r\n"
                             "log4cpp.appender.file.fileName=/tmp/x.log\n"
                             "log4cpp.appender.console=ConsoleAppender # a comment\n"
                             "log4j.appender.old=FileAppender\n"
                             "log4cpp.appender.cut#=ConsoleAppender\n"
                             "log4cpp.appender.=Broken\n"
                             "log4cpp.appender.noequals\n"
                             "log4cpp.category.SServer=INFO, file\n"
                             "log4cpp.category.SServer=ERROR\n"
                             "log4j.category.DL=WARN\n"
                             "category.Bare.Child=ERROR\n"
                             "#log4cpp.category.Thread=INFO\n";
    EXPECT_EQ(Set::appenderNames(text), (std::vector<std::string>{"console", "file", "old"}));
    EXPECT_EQ(Set::categoryNames(text), (std::vector<std::string>{"Bare.Child", "DL", "SServer"}));
    EXPECT_EQ(Set::settings(text).at("category.SServer"), "INFO, file") << "the first setting of a key counts";
    EXPECT_EQ(Set::settings(text).at("appender.console"), "ConsoleAppender");
}

TEST(LogAppenderSet, ConfiguredAppendersAreReplacedWithTheirSettingsAndReleased)
{
    const TempDir scratch;
    const std::string logFile = scratch.file("tdriver.log");
    const std::string properties = "log4cpp.rootCategory=ERROR, file\n"
                                   "log4cpp.category.Lamp=INFO, file, console\n"
                                   "log4cpp.appender.console=ConsoleAppender\n"
                                   "log4cpp.appender.console.layout=PatternLayout\n"
                                   "log4cpp.appender.console.layout.ConversionPattern=console %c %m%n\n"
                                   "log4cpp.appender.file=DailyRollingFileAppender\n"
                                   "log4cpp.appender.file.maxDaysKeep=3\n"
                                   "log4cpp.appender.file.threshold=WARN\n"
                                   "log4cpp.appender.file.layout=PatternLayout\n"
                                   "log4cpp.appender.file.layout.ConversionPattern=[%p] %c %m%n\n"
                                   "log4cpp.appender.file.fileName=" +
        logFile + "\n";
    const std::string configFile = scratch.file("log.properties");
    writeFile(configFile, properties);

    testing::internal::CaptureStdout();
    {
        Set set;
        // Configured twice: the first generation is released, not leaked with its file open.
        for (int round = 0; round < 2; ++round) {
            log4cpp::PropertyConfigurator::configure(configFile);
            set.takeOver(properties);
        }
        // Lamp has appenders of its own: not additive, so the root's file gets no second line.
        log4cpp::Category& lamp = log4cpp::Category::getInstance("Lamp");
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
    Norvik::Utils::ConsoleWriter::flush();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "console Lamp info text\nconsole Lamp Ошибка лампы\n");
    EXPECT_EQ(readFile(logFile), "[ERROR] Lamp Ошибка лампы\n");
    // Released with the set: nothing of it is left attached.
    EXPECT_TRUE(log4cpp::Category::getInstance("Lamp").getAllAppenders().empty());
    EXPECT_TRUE(log4cpp::Category::getRoot().getAllAppenders().empty());
}

TEST(LogAppenderSet, ARejectedTextIsUndoneAndWhatItBuiltIsFreed)
{
    const TempDir scratch;
    const std::string logFile = scratch.file("tdriver.log");
    const std::string configFile = scratch.file("log.properties");
    const std::string accepted = "log4cpp.rootCategory=ERROR, file\nlog4cpp.category.Loader=INFO, file\n"
                                 "log4cpp.appender.file=FileAppender\n"
                                 "log4cpp.appender.file.layout=PatternLayout\n"
                                 "log4cpp.appender.file.layout.ConversionPattern=%p %c %m%n\n"
                                 "log4cpp.appender.file.fileName=" +
        logFile + "\n";
    // log4cpp applies this up to the unknown level: root and Loader re-pointed, Zed made.
    const std::string rejected = "log4cpp.rootCategory=DEBUG, console\nlog4cpp.category.Loader=WARN, console\n"
                                 "log4cpp.category.Zed=NOSUCHLEVEL\nlog4cpp.appender.console=ConsoleAppender\n"
                                 "log4cpp.appender.console.layout=PatternLayout\n";

    testing::internal::CaptureStdout();
    {
        Set set;
        writeFile(configFile, accepted);
        log4cpp::PropertyConfigurator::configure(configFile);
        set.takeOver(accepted);
        log4cpp::Category& loader = log4cpp::Category::getInstance("Loader");
        const log4cpp::AppenderSet rootAppenders = log4cpp::Category::getRoot().getAllAppenders();

        writeFile(configFile, rejected);
        const Set::Snapshot before = Set::capture(rejected);
        EXPECT_THROW(log4cpp::PropertyConfigurator::configure(configFile), log4cpp::ConfigureFailure);
        set.restore(before, rejected);
        EXPECT_EQ(log4cpp::Category::getRoot().getPriority(), log4cpp::Priority::ERROR);
        EXPECT_EQ(log4cpp::Category::getRoot().getAllAppenders(), rootAppenders);
        EXPECT_EQ(loader.getPriority(), log4cpp::Priority::INFO);
        EXPECT_FALSE(loader.getAdditivity());
        EXPECT_EQ(log4cpp::Appender::getAppender("console"), nullptr) << "the rejected text's appender was kept";
        EXPECT_EQ(log4cpp::Category::getInstance("Zed").getPriority(), log4cpp::Priority::NOTSET);
        loader.info("loader info");
        log4cpp::Category::getInstance("Transport").info("transport info");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(readFile(logFile), "INFO Loader loader info\n");
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

// The last lines before an exit reach the console however long it had nothing to take before them.
TEST(ConsoleWriter, FlushWritesWhatCameAfterAnIdleSpell)
{
    using Norvik::Utils::ConsoleWriter;
    testing::internal::CaptureStdout();
    ConsoleWriter::writeLine("before");
    ConsoleWriter::flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ConsoleWriter::writeLine("FINISH");
    ConsoleWriter::flush();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "before\nFINISH\n");
}

#include "tests/logging/LogTestFiles.h"
#include "tests/support/Contract.h"
#include "utils/logging/Logger.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace LogTestFiles;

TEST(LoggerFirstUse, TwoThreadsLoggingFirstAtOnceShareOneLogger)
{
    static const TempDir scratch; // outlives the Logger
    const std::string home = scratch.path();
    useDataHome(home);
    const std::string logFile = home + std::string(Contract::logFile);

    std::atomic<int> ready{0};
    Norvik::Logger* seen[2] = {nullptr, nullptr};
    auto first = [&](int index) {
        ++ready;
        while (ready < 2) {}
        Norvik::Logger::instance().error("Thread", L"first call %d", index);
        seen[index] = &Norvik::Logger::instance();
        for (int i = 0; i < 50; ++i) {
            Norvik::Logger::instance().error("Thread", L"line %d-%d", index, i);
        }
    };
    std::thread a(first, 0);
    std::thread b(first, 1);
    a.join();
    b.join();

    EXPECT_EQ(seen[0], seen[1]);
    const std::string log = readFile(logFile);
    EXPECT_NE(log.find("first call 0\n"), std::string::npos);
    EXPECT_NE(log.find("first call 1\n"), std::string::npos);
    // Serialised calls: every line whole, none lost or doubled.
    EXPECT_EQ(countOf(log, " ERROR [Thread] line "), 100);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 102);
}

#include "utils/text/Exception.h"
#include "tests/threading/TestRoutines.h"
#include "utils/threading/Thread.h"
#include "tests/threading/ThreadLog.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

using Norvik::Utils::Exception;
using Norvik::Utils::Threading::Thread;

namespace {

// Throws something different on each pass.
class ThrowingRoutine : public Norvik::Utils::Threading::Routine {
public:
    void run() override
    {
        switch (passes++) {
        case 0:
            throw std::runtime_error("abc");
        case 1:
            throw Exception(5, L"Сбой устройства");
        case 2:
            throw 42;
        default:
            break;
        }
    }
    std::atomic<int> passes{0};
};

} // namespace

TEST(ThreadGuards, EveryKindOfExceptionIsLoggedAndCountsAsAPass)
{
    ThrowingRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    thread->start(0, 4);
    ASSERT_TRUE(waitUntil([&] { return thread->isFinished(); }));
    thread->join();
    EXPECT_EQ(routine.passes, 4);

    const std::string log = readOwnLogFile();
    EXPECT_NE(log.find("ERROR [Thread] Исключение в потоке (abc)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR [Thread] Исключение в потоке [5] (Сбой устройства)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR [Thread] Неизвестное исключение в потоке\n"), std::string::npos) << log;
}

#include "utils/logging/Logger.h"
#include "tests/support/Proc.h"
#include "tests/threading/TestRoutines.h"
#include "utils/threading/Thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using Norvik::Utils::Threading::Thread;

namespace {

long virtualMemoryKb()
{
    return TestSupport::statusField(getpid(), "VmSize");
}

constexpr uid_t unprivilegedId = 65534;

// Leaves this process unable to create any further thread or process.
bool forbidNewThreads()
{
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_NPROC, &none) != 0) {
        return false;
    }
    // The limit does not bind the superuser.
    if (geteuid() == 0 &&
        (setresgid(unprivilegedId, unprivilegedId, unprivilegedId) != 0 ||
         setresuid(unprivilegedId, unprivilegedId, unprivilegedId) != 0)) {
        return false;
    }
    return true;
}

bool threadCreationCanBeForbidden()
{
    const pid_t probe = fork();
    if (probe == 0) {
        if (!forbidNewThreads()) {
            _exit(2);
        }
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            _exit(0);
        }
        _exit(grandchild < 0 ? 0 : 3);
    }
    int status = 0;
    waitpid(probe, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(ThreadLifetime, StartWhileRunningEndsThePreviousRun)
{
    CountingRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    thread->start(1, -1);
    ASSERT_TRUE(waitUntil([&] { return routine.passes > 0; }));
    thread->start(0, 2);
    ASSERT_TRUE(waitUntil([&] { return thread->isFinished(); }));
    const int passes = routine.passes;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // An endless first run left behind would still be counting.
    EXPECT_EQ(routine.passes, passes);
    thread->join();
}

TEST(ThreadLifetime, DestroyingARunningThreadEndsItsLoop)
{
    CountingRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    thread->start(1, -1);
    ASSERT_TRUE(waitUntil([&] { return routine.passes > 0; }));
    thread.reset();
    const int passes = routine.passes;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // A loop left running would go on counting through a destroyed object.
    EXPECT_EQ(routine.passes, passes);
}

TEST(ThreadLifetime, DestroyingFinishedThreadsReleasesThem)
{
    CountingRoutine routine;
    auto runOnce = [&] {
        std::unique_ptr<Thread> thread(Thread::create(&routine));
        thread->start(0, 1);
        ASSERT_TRUE(waitUntil([&] { return thread->isFinished(); }));
    };
    for (int i = 0; i < 8; ++i) {
        runOnce();
    }
    const long before = virtualMemoryKb();
    constexpr int count = 64;
    for (int i = 0; i < count; ++i) {
        runOnce();
    }
    const long growthKb = virtualMemoryKb() - before;
    EXPECT_EQ(routine.passes, count + 8);
    // Each thread left unjoined keeps its whole stack mapped (megabytes).
    EXPECT_LT(growthKb, count * 512L) << growthKb << " kB for " << count << " threads";
}

TEST(ThreadLifetime, JoinReturnsWhenNoThreadCouldBeCreated)
{
    if (!threadCreationCanBeForbidden()) {
        GTEST_SKIP() << "this process cannot be barred from creating threads here";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Built first: its own watch thread must not be the one that fails.
            Norvik::Logger::instance();
            if (!forbidNewThreads()) {
                _exit(2);
            }
            alarm(10);
            CountingRoutine routine;
            std::unique_ptr<Thread> thread(Thread::create(&routine));
            thread->start(1, -1);
            const bool finishedAfterStart = thread->isFinished();
            thread->join();
            thread->start(0, 1);
            thread->join();
            _exit(finishedAfterStart && thread->isFinished() && routine.passes == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// The pass loop every platform thread runs; built into the native suite and the Windows one,
// each with its own PlatformThread.
#include "PlatformThread.h"
#include "tests/threading/TestRoutines.h"
#include "utils/threading/Thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using Norvik::Utils::Threading::Thread;

namespace {

// Holds the body in onStart while the test wants, and counts the hooks.
class HookedThread : public PlatformThread {
public:
    using PlatformThread::PlatformThread;
    void onStart() override
    {
        ++starts;
        while (holdStart) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void onStop() override { ++stops; }
    std::atomic<bool> holdStart{false};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
};

} // namespace

TEST(ThreadLoop, NeverStartedThreadIsFinishedAndJoinsAtOnce)
{
    CountingRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    EXPECT_TRUE(thread->isFinished());
    EXPECT_FALSE(thread->hasRunsLeft());
    thread->join();
    EXPECT_FALSE(thread->isStopRequested());
    EXPECT_EQ(routine.passes, 0);
}

TEST(ThreadLoop, CountedPassesRunExactlyThatOftenAndAgainAfterJoin)
{
    CountingRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    thread->start(0, 3);
    ASSERT_TRUE(waitUntil([&] { return thread->isFinished(); }));
    EXPECT_EQ(routine.passes, 3);
    EXPECT_FALSE(thread->hasRunsLeft());
    thread->join();
    EXPECT_TRUE(thread->isStopRequested());

    thread->start(0, 2);
    EXPECT_FALSE(thread->isStopRequested());
    ASSERT_TRUE(waitUntil([&] { return thread->isFinished(); }));
    thread->join();
    EXPECT_EQ(routine.passes, 5);

    // A join straight after the start still lets a pass run.
    thread->start(0, 2);
    thread->join();
    EXPECT_TRUE(thread->isFinished());
    EXPECT_GE(routine.passes, 6);
}

TEST(ThreadLoop, ZeroPassesStillCallsBothHooks)
{
    CountingRoutine routine;
    HookedThread thread(&routine);
    thread.start(1, 0);
    ASSERT_TRUE(waitUntil([&] { return thread.isFinished(); }));
    thread.join();
    EXPECT_EQ(routine.passes, 0);
    EXPECT_EQ(thread.starts, 1);
    EXPECT_EQ(thread.stops, 1);
}

TEST(ThreadLoop, StopDuringAPassEndsAfterThatPass)
{
    GateRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    thread->start(1, -1);
    routine.waitEntered(1);
    thread->requestStop();
    EXPECT_FALSE(thread->isFinished());
    routine.release();
    ASSERT_TRUE(waitUntil([&] { return thread->isFinished(); }));
    EXPECT_EQ(routine.passes, 1);
    thread->join();
}

TEST(ThreadLoop, JoinDuringAPassReturnsOnceThePassEnded)
{
    GateRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    thread->start(0, -1);
    routine.waitEntered(1);
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        routine.release();
    });
    thread->join();
    EXPECT_TRUE(thread->isFinished());
    EXPECT_EQ(routine.passes, 1);
    opener.join();
}

TEST(ThreadLoop, StopBeforeTheFirstPassStillRunsOnePass)
{
    CountingRoutine routine;
    HookedThread thread(&routine);
    thread.holdStart = true;
    thread.start(1, -1);
    ASSERT_TRUE(waitUntil([&] { return thread.starts == 1; }));
    thread.requestStop();
    thread.holdStart = false;
    thread.join();
    EXPECT_EQ(routine.passes, 1);
    EXPECT_EQ(thread.stops, 1);
}

TEST(ThreadLoop, EndlessLoopPausesBetweenPasses)
{
    CountingRoutine routine;
    std::unique_ptr<Thread> thread(Thread::create(&routine));
    const auto begin = std::chrono::steady_clock::now();
    thread->start(20, -1);
    EXPECT_TRUE(waitUntil([&] { return routine.passes >= 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    thread->join();
    // A 20 ms pause after each pass: at most one pass more than the pauses that fit in the time.
    const auto ms = elapsedSince(begin).count();
    EXPECT_GE(routine.passes, 2);
    EXPECT_LE(routine.passes, ms / 20 + 1);
}

// With a pause far longer than any wait below, a pass count that moves on or a thread that ends
// shows that no pause was taken.
TEST(ThreadLoop, PausesOnlyAfterAnIdlePassWithPassesLeft)
{
    constexpr int longPauseMs = 600000;
    const struct {
        const char* what;
        int runsLeft;
        int workingPasses;
        int passes;
        bool endsAlone;
    } cases[] = {
        {"the last pass", 1, 0, 1, true},
        {"passes that did work", 3, 3, 3, true},
        {"endless, work then an idle pass", -1, 4, 5, false},
        {"counted, an idle pass with passes left", 3, 1, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingRoutine routine(c.workingPasses);
        std::unique_ptr<Thread> thread(Thread::create(&routine));
        thread->start(longPauseMs, c.runsLeft);
        if (c.endsAlone) {
            EXPECT_TRUE(waitUntil([&] { return thread->isFinished(); }));
        } else {
            EXPECT_TRUE(waitUntil([&] { return routine.passes == c.passes; }));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(thread->isFinished());
        }
        thread->join();
        EXPECT_EQ(routine.passes, c.passes);
    }
}

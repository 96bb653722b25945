#if defined(_WIN32)
// WindowsThread: join on the thread handle (the pass loop is tested by the shared ThreadLoop cases).
#include "Thread.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

using Norvik::Utils::Threading::Thread;

namespace {

// One pass that sleeps, as a colour's switching pass waits for the lamp.
class SleepingRoutine : public Norvik::Utils::Threading::Routine {
public:
    explicit SleepingRoutine(DWORD ms) : ms(ms) {}
    void run() override
    {
        Sleep(ms);
        ended = std::chrono::steady_clock::now();
    }
    DWORD ms;
    std::chrono::steady_clock::time_point ended;
};

} // namespace

// Three threads of one 50 ms pass each, joined as a request joins its colours: the joins end
// within a few milliseconds of the last pass, never a polling interval later.
TEST(WindowsThread, JoinEndsPromptlyAfterThePass)
{
    std::vector<long long> lateness;
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<SleepingRoutine>> routines;
        std::vector<std::unique_ptr<Thread>> threads;
        for (int i = 0; i < 3; ++i) {
            routines.push_back(std::make_unique<SleepingRoutine>(50));
            threads.emplace_back(Thread::create(routines.back().get()));
            threads.back()->start(0, 1);
        }
        for (auto& thread : threads)
            thread->join();
        const auto joined = std::chrono::steady_clock::now();
        auto last = routines[0]->ended;
        for (auto& routine : routines)
            last = std::max(last, routine->ended);
        lateness.push_back(std::chrono::duration_cast<std::chrono::microseconds>(joined - last).count());
    }
    std::sort(lateness.begin(), lateness.end());
    EXPECT_LT(lateness[lateness.size() / 2], 3000) << "median lateness of the joins, microseconds";
}
#endif

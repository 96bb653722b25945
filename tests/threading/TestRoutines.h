#pragma once

#include "utils/threading/Routine.h"
#include "tests/support/Wait.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Counts its passes.
class CountingRoutine : public Norvik::Utils::Threading::Routine {
public:
    void run() override { ++passes; }
    std::atomic<int> passes{0};
};

// Counts its passes; the first workingPasses of them report that they did work.
class WorkingRoutine : public Norvik::Utils::Threading::Routine {
public:
    explicit WorkingRoutine(int workingPasses) : workingPasses(workingPasses) {}
    void run() override { ++passes; }
    bool passDidWork() const override { return passes <= workingPasses; }
    std::atomic<int> passes{0};

private:
    const int workingPasses;
};

// Each pass blocks until the test opens the gate; tells when a pass has begun.
class GateRoutine : public Norvik::Utils::Threading::Routine {
public:
    void run() override
    {
        std::unique_lock<std::mutex> lock(mutex);
        ++entered;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        ++passes;
    }
    void waitEntered(int count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return entered >= count; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
    std::atomic<int> passes{0};

private:
    std::mutex mutex;
    std::condition_variable changed;
    int entered = 0;
    bool open = false;
};

using TestSupport::elapsedSince;
using TestSupport::waitUntil;

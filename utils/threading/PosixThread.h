#pragma once

#if !defined(_WIN32)

#include "utils/threading/Thread.h"

#include <pthread.h>

namespace Norvik::Utils::Threading {

class PosixThread : public Thread {
public:
    explicit PosixThread(Routine* routine);
    // Joins a thread still running.
    ~PosixThread() override;

    void start(int intervalMs, int runsLeft) override;
    void join() override;

private:
    static void* entry(void* argument);

    pthread_t threadHandle{};
    // A thread was created and has not been joined yet.
    bool started = false;
};

} // namespace Norvik::Utils::Threading

#endif

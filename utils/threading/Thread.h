#pragma once

#include "utils/threading/Routine.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace Norvik::Utils::Threading {

// A worker that calls a Routine pass after pass until a stop is requested or the given number of
// passes has run. Between passes it pauses, unless the pass did work or was the last. Exceptions thrown by a pass are
// logged under "Thread" and the loop goes on.
class Thread {
public:
    // A new platform thread (WindowsThread or PosixThread) for the routine; owned by the caller.
    static Thread* create(Routine* routine);

    virtual ~Thread();

    // runsLeft < 0: no limit; intervalMs <= 0: no pause.
    virtual void start(int intervalMs, int runsLeft) = 0;
    // Requests a stop and waits until the body has ended. Never called from the thread itself.
    virtual void join() = 0;
    virtual void requestStop();
    virtual bool isFinished() const;
    virtual bool isStopRequested() const;
    virtual bool hasRunsLeft() const;
    virtual void onStart();
    virtual void onStop();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

protected:
    explicit Thread(Routine* routine);

    void setRunParameters(int intervalMs, int runsLeft);
    void setFinished(bool value);
    // No operating-system thread came up: nothing will ever run the body, so nobody may wait for it.
    void creationFailed(const std::wstring& reason);
    // The loop every platform thread runs: onStart, the guarded passes, onStop, finished.
    void body();

private:
    std::atomic<int> runsLeft{-1};
    std::atomic<int> intervalMs{0};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{true};
    Routine* routine;
    // Wakes the pause between passes as soon as a stop is requested.
    std::mutex pauseMutex;
    std::condition_variable pauseWake;
};

} // namespace Norvik::Utils::Threading

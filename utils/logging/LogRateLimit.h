#pragma once

#include <chrono>
#include <mutex>

namespace Norvik {

// Lets one log line of a kind through per interval and counts those held back meanwhile, so that a
// flood of the same event writes a line now and then that says how many it stands for.
class LogRateLimit {
public:
    using Clock = std::chrono::steady_clock;

    explicit LogRateLimit(Clock::duration interval) : interval(interval) {}

    // True when a line may be written now; heldBack is then the number of lines held back since
    // the last one written.
    bool allow(unsigned long& heldBack)
    {
        const std::lock_guard<std::mutex> guard(lock);
        const Clock::time_point now = Clock::now();
        if (written && now < next) {
            ++held;
            return false;
        }
        written = true;
        next = now + interval;
        heldBack = held;
        held = 0;
        return true;
    }

    LogRateLimit(const LogRateLimit&) = delete;
    LogRateLimit& operator=(const LogRateLimit&) = delete;

private:
    const Clock::duration interval;
    std::mutex lock;
    Clock::time_point next;
    unsigned long held = 0;
    bool written = false;
};

} // namespace Norvik

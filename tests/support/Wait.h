#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace TestSupport {

// Checks condition every pause until it holds or the time is up; true when it held.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5),
                      std::chrono::milliseconds pause = std::chrono::milliseconds(2))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
    }
    return true;
}

} // namespace TestSupport

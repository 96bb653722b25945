#pragma once

#include <chrono>
#include <thread>

namespace Norvik::Utils::Threading {

inline void systemSleepMs(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace Norvik::Utils::Threading

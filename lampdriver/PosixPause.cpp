#if !defined(_WIN32)

#include "lampdriver/Pause.h"

#include <chrono>
#include <thread>

namespace BrillLamp {

void pauseMs(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace BrillLamp

#endif

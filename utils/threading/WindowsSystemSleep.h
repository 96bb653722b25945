#pragma once

#include <windows.h>

namespace Norvik::Utils::Threading {

inline void systemSleepMs(unsigned milliseconds)
{
    ::Sleep(milliseconds);
}

} // namespace Norvik::Utils::Threading

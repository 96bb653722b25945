#pragma once

// The system's own sleep, header only so that the lamp driver compiles its own copy. Not the C++
// library's sleep_for on Windows: with mingw's thread library under Wine it ends milliseconds
// late, and the lamp's 50 ms wait and the short pauses between passes are paid by every request.
#if defined(_WIN32)
#include <windows.h>
#else
#include <chrono>
#include <thread>
#endif

namespace Norvik::Utils::Threading {

inline void systemSleepMs(unsigned milliseconds)
{
#if defined(_WIN32)
    ::Sleep(milliseconds);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
#endif
}

} // namespace Norvik::Utils::Threading

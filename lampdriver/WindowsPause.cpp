#if defined(_WIN32)

#include "lampdriver/Pause.h"

#include <windows.h>

namespace BrillLamp {

// Sleep, not the C++ library's sleep_for: with mingw's thread library under Wine, sleep_for of
// 50 ms ends milliseconds later than Sleep(50), and every request waits for it.
void pauseMs(unsigned milliseconds)
{
    ::Sleep(milliseconds);
}

} // namespace BrillLamp

#endif

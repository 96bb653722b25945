#pragma once

// The system's own sleep, header only so that the lamp driver compiles its own copy. Not the C++
// library's sleep_for: with mingw's thread library under Wine it ends milliseconds late, and the
// lamp's 50 ms wait and the short pauses between passes are paid by every request. The platform's
// part is in PosixSystemSleep.h and WindowsSystemSleep.h.
#if defined(_WIN32)
#include "utils/threading/WindowsSystemSleep.h"
#else
#include "utils/threading/PosixSystemSleep.h"
#endif

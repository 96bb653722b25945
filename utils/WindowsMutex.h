#pragma once

#if defined(_WIN32)

#include "Mutex.h"

#include <windows.h>

namespace Norvik::Utils::Threading {

class WindowsMutex : public Mutex {
public:
    WindowsMutex();
    ~WindowsMutex() override;

    bool tryLock() override;
    bool lock() override;
    bool unlock() override;

    WindowsMutex(const WindowsMutex&) = delete;
    WindowsMutex& operator=(const WindowsMutex&) = delete;

private:
    CRITICAL_SECTION section;
};

} // namespace Norvik::Utils::Threading

#endif

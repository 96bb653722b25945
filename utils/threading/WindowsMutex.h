#pragma once

#if defined(_WIN32)

#include "utils/threading/Mutex.h"

#include <windows.h>

#include <atomic>

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
    void taken();

    CRITICAL_SECTION section;
    // Written only by the holder; read by any thread to refuse an unlock that holds nothing.
    std::atomic<DWORD> owner{0};
    int depth = 0;
};

} // namespace Norvik::Utils::Threading

#endif

#pragma once

#if defined(_WIN32)

#include "utils/handle/WindowsHandle.h"
#include "utils/threading/Thread.h"

#include <windows.h>

namespace Norvik::Utils::Threading {

class WindowsThread : public Thread {
public:
    explicit WindowsThread(Routine* routine);
    ~WindowsThread() override;

    void start(int intervalMs, int runsLeft) override;
    void join() override;

private:
    static DWORD WINAPI entry(LPVOID argument);

    UniqueHandle threadHandle;
    bool started = false;
};

} // namespace Norvik::Utils::Threading

#endif

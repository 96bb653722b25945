#if defined(_WIN32)

#include "service/StopSignal.h"

#include "utils/handle/WindowsHandle.h"

#include <windows.h>

#include <atomic>

namespace Norvik {

namespace {

// The console handler runs on a thread of its own and may come at any time, so its events live
// as long as the process. For close, logoff and shutdown the process ends as soon as the handler
// returns: it waits, bounded, until the waiter has cleaned up.
const Utils::UniqueHandle requestEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
const Utils::UniqueHandle cleanedUpEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
std::atomic<int> lastRequest{StopSignal::None};

constexpr DWORD cleanUpBound = 4500;

BOOL WINAPI consoleHandler(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        lastRequest = StopSignal::Interrupt;
        SetEvent(requestEvent.get());
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        lastRequest = StopSignal::Terminate;
        SetEvent(requestEvent.get());
        WaitForSingleObject(cleanedUpEvent.get(), cleanUpBound);
        return TRUE;
    default:
        return FALSE;
    }
}

class WindowsStopSignal : public StopSignal {
public:
    WindowsStopSignal() { SetConsoleCtrlHandler(consoleHandler, TRUE); }

    ~WindowsStopSignal() override { SetEvent(cleanedUpEvent.get()); }

    Request wait(unsigned milliseconds) override
    {
        if (WaitForSingleObject(requestEvent.get(), milliseconds) != WAIT_OBJECT_0)
            return None;
        return static_cast<Request>(lastRequest.load());
    }
};

} // namespace

StopSignal* StopSignal::create()
{
    return new WindowsStopSignal();
}

} // namespace Norvik

#endif

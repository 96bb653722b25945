#if defined(_WIN32)

#include "WindowsThread.h"

#include "StringUtils.h"

#include <cstdint>

namespace Norvik::Utils::Threading {

namespace {

constexpr std::int64_t signalPollMs = 5000;

} // namespace

Thread* Thread::create(Routine* routine)
{
    return new WindowsThread(routine);
}

void WindowsThread::Handle::reset(HANDLE handle)
{
    close();
    value = handle;
}

void WindowsThread::Handle::close()
{
    if (value != INVALID_HANDLE_VALUE && value != nullptr) {
        CloseHandle(value);
    }
    value = INVALID_HANDLE_VALUE;
}

WindowsThread::WindowsThread(Routine* routine) : Thread(routine) {}

WindowsThread::~WindowsThread() = default;

void WindowsThread::start(int intervalMs, int runsLeft)
{
    if (started) {
        join();
    }
    setRunParameters(intervalMs, runsLeft);
    const HANDLE handle = CreateThread(nullptr, 0, &WindowsThread::entry, this, 0, nullptr);
    if (handle == nullptr) {
        creationFailed(StringUtils::getSystemErrorText(GetLastError()));
        return;
    }
    threadHandle.reset(handle);
    started = true;
}

void WindowsThread::join()
{
    if (!started) {
        return;
    }
    requestStop();
    const std::int64_t since = GetTickCount();
    while (true) {
        std::int64_t elapsed = static_cast<std::int64_t>(GetTickCount()) - since;
        if (elapsed < 0) {
            elapsed = -elapsed;
        }
        if (elapsed >= signalPollMs) {
            break;
        }
        if (WaitForSingleObject(threadHandle.get(), 0) == WAIT_OBJECT_0) {
            setFinished(true);
            break;
        }
        Sleep(10);
    }
    while (!isFinished()) {
        Sleep(1);
    }
    threadHandle.close();
    started = false;
}

DWORD WINAPI WindowsThread::entry(LPVOID argument)
{
    static_cast<WindowsThread*>(argument)->body();
    return 0;
}

} // namespace Norvik::Utils::Threading

#endif

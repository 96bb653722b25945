#if defined(_WIN32)

#include "utils/threading/WindowsThread.h"

#include "utils/text/StringUtils.h"

namespace Norvik::Utils::Threading {

Thread* Thread::create(Routine* routine)
{
    return new WindowsThread(routine);
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
    WaitForSingleObject(threadHandle.get(), INFINITE);
    setFinished(true);
    threadHandle.reset();
    started = false;
}

DWORD WINAPI WindowsThread::entry(LPVOID argument)
{
    static_cast<WindowsThread*>(argument)->body();
    return 0;
}

} // namespace Norvik::Utils::Threading

#endif

#if defined(_WIN32)

#include "ServiceHost.h"

#include "Server.h"
#include "ServerRun.h"
#include "ServiceTexts.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace Norvik {

namespace {

struct EventHandle {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~EventHandle()
    {
        if (handle)
            CloseHandle(handle);
    }
};

SERVICE_STATUS serviceStatus;
SERVICE_STATUS_HANDLE serviceStatusHandle = nullptr;
// The state as the service entry's loop reads it; serviceStatus itself changes under statusLock.
std::atomic<DWORD> currentState{SERVICE_STOPPED};
std::mutex statusLock;
EventHandle stopRequested;
// Set by the service entry once the server is destroyed and the lamp closed.
EventHandle serverDestroyed;

// The stop is reported before the server is destroyed, so the dispatcher may return early;
// the program then waits this long at most for the service entry to finish.
constexpr DWORD shutdownBound = 20000;

void report(DWORD state, DWORD exitCode)
{
    const std::lock_guard<std::mutex> lock(statusLock);
    serviceStatus.dwCurrentState = state;
    serviceStatus.dwWin32ExitCode = exitCode;
    currentState = state;
    SetServiceStatus(serviceStatusHandle, &serviceStatus);
}

void reportUnchanged()
{
    const std::lock_guard<std::mutex> lock(statusLock);
    SetServiceStatus(serviceStatusHandle, &serviceStatus);
}

// SERVICE_RUNNING, unless a stop or shutdown came while the server was being built.
void reportRunning()
{
    const std::lock_guard<std::mutex> lock(statusLock);
    if (serviceStatus.dwCurrentState != SERVICE_START_PENDING)
        return;
    serviceStatus.dwCurrentState = SERVICE_RUNNING;
    currentState = SERVICE_RUNNING;
    SetServiceStatus(serviceStatusHandle, &serviceStatus);
}

void WINAPI controlHandler(DWORD control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
        printLine(Texts::stopped);
        report(SERVICE_STOPPED, NO_ERROR);
        SetEvent(stopRequested.handle);
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        printLine(Texts::shutdown);
        report(SERVICE_STOPPED, NO_ERROR);
        SetEvent(stopRequested.handle);
        break;
    default:
        reportUnchanged();
    }
}

void runServer()
{
    printLine(startedLine());
    const std::unique_ptr<Server> server = ServerRun::build();
    if (!server) {
        report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
        return;
    }
    // Running once the server is built, so that a client the service manager starts after us
    // finds the port open.
    reportRunning();
    const bool stopped = ServerRun::waitForStop(*server, [](int timeoutMs) {
        return currentState != SERVICE_RUNNING ||
               WaitForSingleObject(stopRequested.handle, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    });
    if (!stopped)
        report(SERVICE_STOPPED, 0xFFFFFFFF);
}

void WINAPI serviceMain(DWORD, LPWSTR*)
{
    serviceStatus = SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING,
                                   SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN, NO_ERROR, 0, 0, 0};
    currentState = SERVICE_START_PENDING;
    serviceStatusHandle = RegisterServiceCtrlHandlerW(serviceName, controlHandler);
    if (serviceStatusHandle)
        runServer();
    SetEvent(serverDestroyed.handle);
}

class WindowsServiceHost : public ServiceHost {
public:
    int dispatch() override
    {
        SERVICE_TABLE_ENTRYW table[] = {{serviceName, serviceMain}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table))
            return -1;
        WaitForSingleObject(serverDestroyed.handle, shutdownBound);
        return 0;
    }
};

} // namespace

ServiceHost* ServiceHost::create()
{
    return new WindowsServiceHost();
}

} // namespace Norvik

#endif

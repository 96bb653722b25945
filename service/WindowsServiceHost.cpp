#if defined(_WIN32)

#include "service/ServiceHost.h"

#include "light/Server.h"
#include "service/ServerRun.h"
#include "service/ServiceTexts.h"

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
// Set by the service entry once it has reported its last state.
EventHandle entryEnded;

// The service manager's bound for the stop: a stop waits for the request at the lamp (one
// 50 ms wait per colour) and closes the lamp connection.
constexpr DWORD stopWaitHint = 5000;
// The dispatcher returns once SERVICE_STOPPED is reported; the service entry may still be
// returning from its last call.
constexpr DWORD entryEndBound = 5000;

// Called with statusLock held.
void setStatus(DWORD state, DWORD exitCode)
{
    serviceStatus.dwCurrentState = state;
    serviceStatus.dwWin32ExitCode = exitCode;
    serviceStatus.dwWaitHint = state == SERVICE_STOP_PENDING ? stopWaitHint : 0;
    serviceStatus.dwCheckPoint = state == SERVICE_STOP_PENDING ? serviceStatus.dwCheckPoint + 1 : 0;
    serviceStatus.dwControlsAccepted =
        state == SERVICE_STOP_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    currentState = state;
    SetServiceStatus(serviceStatusHandle, &serviceStatus);
}

void report(DWORD state, DWORD exitCode)
{
    const std::lock_guard<std::mutex> lock(statusLock);
    setStatus(state, exitCode);
}

// The first stop or shutdown request wins; SERVICE_STOPPED follows once the server is gone.
void stopPending()
{
    {
        const std::lock_guard<std::mutex> lock(statusLock);
        if (currentState != SERVICE_STOP_PENDING && currentState != SERVICE_STOPPED)
            setStatus(SERVICE_STOP_PENDING, NO_ERROR);
    }
    SetEvent(stopRequested.handle);
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
        stopPending();
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        printLine(Texts::shutdown);
        stopPending();
        break;
    default:
        reportUnchanged();
    }
}

void runServer()
{
    std::unique_ptr<Server> server = ServerRun::build([] { printLine(startedLine()); });
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
    // The port and the lamp are released before the service manager hears that we stopped.
    server.reset();
    report(SERVICE_STOPPED, stopped ? NO_ERROR : 0xFFFFFFFF);
}

void WINAPI serviceMain(DWORD, LPWSTR*)
{
    serviceStatus = SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS,
                                   SERVICE_START_PENDING,
                                   SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN,
                                   NO_ERROR,
                                   0,
                                   0,
                                   0};
    currentState = SERVICE_START_PENDING;
    serviceStatusHandle = RegisterServiceCtrlHandlerW(serviceName, controlHandler);
    if (serviceStatusHandle)
        runServer();
    SetEvent(entryEnded.handle);
}

class WindowsServiceHost : public ServiceHost {
public:
    int dispatch() override
    {
        SERVICE_TABLE_ENTRYW table[] = {{serviceName, serviceMain}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table))
            return -1;
        WaitForSingleObject(entryEnded.handle, entryEndBound);
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

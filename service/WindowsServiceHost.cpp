#if defined(_WIN32)

#include "service/ServiceHost.h"

#include "light/Server.h"
#include "service/ServerRun.h"
#include "service/ServiceTexts.h"
#include "service/WindowsEventLog.h"
#include "utils/handle/WindowsHandle.h"
#include "utils/text/StringUtils.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace Norvik {

namespace {

SERVICE_STATUS serviceStatus;
SERVICE_STATUS_HANDLE serviceStatusHandle = nullptr;
// The state as the service entry's loop reads it; serviceStatus itself changes under statusLock.
std::atomic<DWORD> currentState{SERVICE_STOPPED};
std::mutex statusLock;
const Utils::UniqueHandle stopRequested{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
// Set by the service entry once it has reported its last state.
const Utils::UniqueHandle entryEnded{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

// The service manager's bound for the stop: a stop waits for the request at the lamp (one
// 50 ms wait per colour) and closes the lamp connection.
constexpr DWORD stopWaitHint = 5000;
// Until the server is built: naming the log folder, then loading the lamp library, initialising
// the driver (whose port-access module may first have to start its kernel driver) and opening
// the port.
constexpr DWORD entryWaitHint = 5000;
constexpr DWORD lampWaitHint = 15000;
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
    SetEvent(stopRequested.get());
}

void reportUnchanged()
{
    const std::lock_guard<std::mutex> lock(statusLock);
    SetServiceStatus(serviceStatusHandle, &serviceStatus);
}

// The next step of the start: the service manager waits up to waitHint for the report after it.
void reportStarting(DWORD waitHint)
{
    const std::lock_guard<std::mutex> lock(statusLock);
    if (serviceStatus.dwCurrentState != SERVICE_START_PENDING)
        return;
    serviceStatus.dwWaitHint = waitHint;
    ++serviceStatus.dwCheckPoint;
    SetServiceStatus(serviceStatusHandle, &serviceStatus);
}

// SERVICE_RUNNING, unless a stop or shutdown came while the server was being built.
void reportRunning()
{
    const std::lock_guard<std::mutex> lock(statusLock);
    if (serviceStatus.dwCurrentState != SERVICE_START_PENDING)
        return;
    serviceStatus.dwCurrentState = SERVICE_RUNNING;
    serviceStatus.dwWaitHint = 0;
    serviceStatus.dwCheckPoint = 0;
    currentState = SERVICE_RUNNING;
    SetServiceStatus(serviceStatusHandle, &serviceStatus);
}

// A refused start ends with the refusal's code as the service's own exit code.
void reportRefused(DWORD code)
{
    const std::lock_guard<std::mutex> lock(statusLock);
    serviceStatus.dwServiceSpecificExitCode = code;
    setStatus(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
}

std::wstring wide(const std::string& utf8)
{
    return Utils::StringUtils::toWide(utf8, Utils::StringUtils::Utf8);
}

// The port's state as the events tell it: whether it was taken when the server was built, and
// whether it has been bound since.
enum PortState { PortUnknown, PortListening, PortTaken };
std::atomic<int> portState{PortUnknown};

// The port is ours and the lamp initialised: the entries a technician reads of this start.
void reportListening(const Server& server)
{
    printLine(startedLine());
    if (portState.exchange(PortListening) == PortTaken)
        WindowsEventLog::write(WindowsEventLog::PortOpened, wide(Texts::portOpenedEvent));
    WindowsEventLog::write(WindowsEventLog::Started, wide(startedLine()));
    const std::wstring lamp = server.lampFailure();
    if (!lamp.empty())
        WindowsEventLog::write(WindowsEventLog::LampNotReady, wide(Texts::lampNotReadyEvent) + lamp);
}

void reportPortTaken(const Server& server)
{
    int unknown = PortUnknown;
    if (!portState.compare_exchange_strong(unknown, PortTaken))
        return;
    std::wstring reason = server.listenFailure();
    if (reason.empty())
        reason = wide(Texts::portTakenEvent);
    if (reason.back() == L'.')
        reason.pop_back();
    WindowsEventLog::write(WindowsEventLog::PortTaken, reason + L". " + wide(Texts::portRetryEvent));
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
    // The lamp library loads and the driver initialises as soon as the port is ours.
    reportStarting(lampWaitHint);
    portState = PortUnknown;
    ServerRun::Refusal refusal;
    std::unique_ptr<Server> server = ServerRun::build(reportListening, &refusal);
    if (!server) {
        WindowsEventLog::write(WindowsEventLog::StartRefused,
                               wide(Texts::startRefusedEvent + std::to_string(refusal.code) + "): " + refusal.line));
        reportRefused(refusal.code);
        return;
    }
    // Running once the server is built: while the port is taken it is retried, and the lamp
    // waits for it.
    reportRunning();
    reportPortTaken(*server);
    const bool stopped = ServerRun::waitForStop(*server, [](int timeoutMs) {
        return currentState != SERVICE_RUNNING ||
            WaitForSingleObject(stopRequested.get(), static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    });
    // The port and the lamp are released before the service manager hears that we stopped.
    server.reset();
    WindowsEventLog::write(WindowsEventLog::Stopped, wide(Texts::stoppedEvent));
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
    if (serviceStatusHandle) {
        reportStarting(entryWaitHint);
        runServer();
    }
    SetEvent(entryEnded.get());
}

class WindowsServiceHost : public ServiceHost {
public:
    int dispatch() override
    {
        SERVICE_TABLE_ENTRYW table[] = {{serviceName, serviceMain}, {nullptr, nullptr}};
        if (!StartServiceCtrlDispatcherW(table))
            return -1;
        WaitForSingleObject(entryEnded.get(), entryEndBound);
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

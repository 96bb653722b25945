#if defined(_WIN32)
// Starts an installed service and prints every status the service manager holds for it, as it
// changes, until the service runs or has stopped: one line each, "STATE checkpoint=N hint=N
// exit=N specific=N".
// Usage: servicestart NAME; exit 0 once RUNNING or STOPPED was seen, 2 when it could not be
// started, 3 when neither came within a minute.
#include <windows.h>

#include <cstdio>

namespace {

const char* stateName(DWORD state)
{
    static_assert(SERVICE_STOPPED == 1 && SERVICE_START_PENDING == 2 && SERVICE_STOP_PENDING == 3 &&
                  SERVICE_RUNNING == 4);
    const char* const names[] = {"OTHER", "STOPPED", "START_PENDING", "STOP_PENDING", "RUNNING"};
    return state <= SERVICE_RUNNING ? names[state] : "OTHER";
}

bool same(const SERVICE_STATUS_PROCESS& a, const SERVICE_STATUS_PROCESS& b)
{
    return a.dwCurrentState == b.dwCurrentState && a.dwCheckPoint == b.dwCheckPoint && a.dwWaitHint == b.dwWaitHint &&
        a.dwWin32ExitCode == b.dwWin32ExitCode && a.dwServiceSpecificExitCode == b.dwServiceSpecificExitCode;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 64;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, argv[1], SERVICE_START | SERVICE_QUERY_STATUS) : nullptr;
    if (!service || !StartServiceW(service, 0, nullptr)) {
        std::printf("cannot start the service (error %lu)\n", GetLastError());
        return 2;
    }
    SERVICE_STATUS_PROCESS last{};
    last.dwCurrentState = 0xFFFFFFFF;
    const ULONGLONG until = GetTickCount64() + 60000;
    while (GetTickCount64() < until) {
        SERVICE_STATUS_PROCESS status{};
        DWORD size = 0;
        if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                  &size)) {
            std::printf("cannot query the service (error %lu)\n", GetLastError());
            return 2;
        }
        if (!same(status, last)) {
            std::printf("%s checkpoint=%lu hint=%lu exit=%lu specific=%lu\n", stateName(status.dwCurrentState),
                        status.dwCheckPoint, status.dwWaitHint, status.dwWin32ExitCode,
                        status.dwServiceSpecificExitCode);
            std::fflush(stdout);
            last = status;
        }
        if (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_STOPPED)
            return 0;
        Sleep(1);
    }
    return 3;
}
#endif

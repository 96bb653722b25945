#if defined(_WIN32)
// Stops a service as an installer does, while a request is at the lamp, and looks at the port and
// the simulated chip the moment the service manager reports the service stopped: by then the
// port must be closed and the lamp connection closed (the chip locked again). A service that
// reports the stop before its server is gone fails here.
// Usage: servicestop NAME PORT CHIP_STATE_FILE; exit 0 when both were closed by then.
#include <winsock2.h>
#include <windows.h>

#include "portaccess/simulated/LampSimState.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

SOCKET connectTo(unsigned short port)
{
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(probe);
        return INVALID_SOCKET;
    }
    return probe;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 64;
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const unsigned short port = static_cast<unsigned short>(_wtoi(argv[2]));
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, argv[1], SERVICE_STOP | SERVICE_QUERY_STATUS) : nullptr;
    const std::wstring statePath = argv[3];
    LampSim::StateFile chip(std::string(statePath.begin(), statePath.end()));
    const SOCKET client = connectTo(port);
    const char request[] = "{\"red\":true}";
    send(client, request, sizeof request - 1, 0);
    Sleep(15); // the request is at the lamp now, for 50 ms
    SERVICE_STATUS status{};
    if (!service || client == INVALID_SOCKET || !ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        std::printf("cannot stop a running service that listens on %u (error %lu)\n", port, GetLastError());
        return 2;
    }
    const DWORD since = GetTickCount();
    while (status.dwCurrentState != SERVICE_STOPPED && GetTickCount() - since < 20000) {
        Sleep(1);
        QueryServiceStatus(service, &status);
    }
    if (status.dwCurrentState != SERVICE_STOPPED) {
        std::printf("not stopped after 20 s\n");
        return 1;
    }
    const SOCKET probe = connectTo(port);
    const bool open = probe != INVALID_SOCKET;
    closesocket(probe);
    const bool lampClosed = chip.locked();
    std::printf("stopped after %lu ms, port %s, lamp connection %s\n", GetTickCount() - since,
                open ? "still open" : "closed", lampClosed ? "closed" : "still open");
    closesocket(client);
    return open || !lampClosed ? 1 : 0;
}
#endif

#if defined(_WIN32)
#include "tests/driver/SerialLine.h"
#include "tests/windows/LampModule.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace DriverTest {
namespace {

void setTimeout(HANDLE port, DWORD milliseconds)
{
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadTotalTimeoutConstant = milliseconds;
    SetCommTimeouts(port, &timeouts);
}

} // namespace

struct SerialLine::Parts {
    int lamp = 0;
    HANDLE peer = INVALID_HANDLE_VALUE;
};

SerialLine::SerialLine(Number number) : parts(std::make_unique<Parts>())
{
    parts->lamp = WinTest::environmentNumber(number == High ? "LAMPTEST_HIGH_COM" : "LAMPTEST_LAMP_COM");
    const std::string peer = "\\\\.\\COM" +
        std::to_string(WinTest::environmentNumber(number == High ? "LAMPTEST_HIGH_PEER_COM" : "LAMPTEST_PEER_COM"));
    parts->peer = CreateFileA(peer.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (parts->peer == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open peer " + peer + ", error " + std::to_string(GetLastError()));
    setTimeout(parts->peer, 1000);
    PurgeComm(parts->peer, PURGE_RXABORT | PURGE_RXCLEAR);
}

SerialLine::~SerialLine()
{
    CloseHandle(parts->peer);
}

int SerialLine::port() const
{
    return parts->lamp;
}

::testing::AssertionResult SerialLine::received(const Bytes& expected)
{
    Bytes bytes;
    const DWORD start = GetTickCount();
    while (bytes.size() < expected.size() && GetTickCount() - start < 1500) {
        unsigned char buffer[64];
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(expected.size() - bytes.size(), sizeof buffer));
        if (!ReadFile(parts->peer, buffer, want, &got, nullptr))
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return sameBytes(bytes, expected);
}

::testing::AssertionResult SerialLine::silent()
{
    setTimeout(parts->peer, 200);
    unsigned char buffer[16];
    DWORD got = 0;
    ReadFile(parts->peer, buffer, sizeof buffer, &got, nullptr);
    setTimeout(parts->peer, 1000);
    return sameBytes(Bytes(buffer, buffer + got), {});
}

// Found by trying every small handle value: Wine does not hold a COM port exclusively, so a
// handle left open shows only among the process's handles.
int SerialLine::openHandles() const
{
    int count = 0;
    for (std::uintptr_t value = 4; value < 0x4000; value += 4) {
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        if (GetCommState(reinterpret_cast<HANDLE>(value), &dcb))
            ++count;
    }
    return count;
}

} // namespace DriverTest
#endif

#if defined(_WIN32)
#include "tests/windows/SerialPeer.h"

#include "tests/windows/WineTest.h"

#include <algorithm>
#include <cstdio>

namespace WinTest {

std::string comName(int number)
{
    return "\\\\.\\COM" + std::to_string(number);
}

std::string bytesText(const std::vector<unsigned char>& bytes)
{
    std::string text;
    for (unsigned char b : bytes) {
        char item[4];
        std::snprintf(item, sizeof item, "%02X", b);
        if (!text.empty())
            text += ' ';
        text += item;
    }
    return text;
}

SerialPeer::SerialPeer(int comNumber)
    : port_(
          CreateFileA(comName(comNumber).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))
{
    if (port_ == INVALID_HANDLE_VALUE)
        fail("cannot open peer " + comName(comNumber) + ", error " + std::to_string(GetLastError()), __FILE__,
             __LINE__);
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutConstant = 1000;
    SetCommTimeouts(port_, &timeouts);
    PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR);
}

SerialPeer::~SerialPeer()
{
    CloseHandle(port_);
}

std::vector<unsigned char> SerialPeer::read(std::size_t count)
{
    std::vector<unsigned char> bytes;
    const DWORD start = GetTickCount();
    while (bytes.size() < count && GetTickCount() - start < 1500) {
        unsigned char buffer[64];
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(count - bytes.size(), sizeof buffer));
        if (!ReadFile(port_, buffer, want, &got, nullptr))
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (bytes.size() != count)
        fail("peer received " + std::to_string(bytes.size()) + " of " + std::to_string(count) +
                 " bytes: " + bytesText(bytes),
             __FILE__, __LINE__);
    return bytes;
}

void SerialPeer::expectSilence()
{
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadTotalTimeoutConstant = 200;
    SetCommTimeouts(port_, &timeouts);
    unsigned char buffer[16];
    DWORD got = 0;
    ReadFile(port_, buffer, sizeof buffer, &got, nullptr);
    timeouts.ReadTotalTimeoutConstant = 1000;
    SetCommTimeouts(port_, &timeouts);
    if (got != 0)
        fail("peer received unexpected bytes: " + bytesText(std::vector<unsigned char>(buffer, buffer + got)), __FILE__,
             __LINE__);
}

} // namespace WinTest
#endif

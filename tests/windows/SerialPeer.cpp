#if defined(_WIN32)
#include "tests/windows/SerialPeer.h"

#include <algorithm>
#include <stdexcept>

namespace WinTest {

std::string comName(int number)
{
    return "\\\\.\\COM" + std::to_string(number);
}

SerialPeer::SerialPeer(int comNumber)
    : port_(
          CreateFileA(comName(comNumber).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))
{
    if (port_ == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open peer " + comName(comNumber) + ", error " +
                                 std::to_string(GetLastError()));
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

DriverTest::Bytes SerialPeer::read(std::size_t count)
{
    DriverTest::Bytes bytes;
    const DWORD start = GetTickCount();
    while (bytes.size() < count && GetTickCount() - start < 1500) {
        unsigned char buffer[64];
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(count - bytes.size(), sizeof buffer));
        if (!ReadFile(port_, buffer, want, &got, nullptr))
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

::testing::AssertionResult SerialPeer::received(const DriverTest::Bytes& expected)
{
    const DriverTest::Bytes got = read(expected.size());
    if (got == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "peer received " << got.size() << " of " << expected.size() << " bytes \""
                                         << DriverTest::hex(got) << "\", expected \"" << DriverTest::hex(expected)
                                         << "\"";
}

::testing::AssertionResult SerialPeer::silent()
{
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadTotalTimeoutConstant = 200;
    SetCommTimeouts(port_, &timeouts);
    unsigned char buffer[16];
    DWORD got = 0;
    ReadFile(port_, buffer, sizeof buffer, &got, nullptr);
    timeouts.ReadTotalTimeoutConstant = 1000;
    SetCommTimeouts(port_, &timeouts);
    if (got == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "peer received unexpected bytes: "
                                         << DriverTest::hex(DriverTest::Bytes(buffer, buffer + got));
}

} // namespace WinTest
#endif

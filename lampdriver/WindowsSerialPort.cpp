#if defined(_WIN32)

#include "lampdriver/SerialPort.h"

#include <windows.h>

namespace BrillLamp {

namespace {
HANDLE native(PortHandle port)
{
    return reinterpret_cast<HANDLE>(port);
}
} // namespace

PortHandle openSerialPort(const std::string& name)
{
    HANDLE port = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE || port == nullptr)
        return InvalidPort;
    return reinterpret_cast<PortHandle>(port);
}

void configureSerialPort(PortHandle port)
{
    DCB settings{};
    settings.DCBlength = sizeof settings;
    ::GetCommState(native(port), &settings);
    settings.fParity = FALSE;
    settings.BaudRate = CBR_9600;
    settings.ByteSize = 8;
    settings.StopBits = ONESTOPBIT;
    ::SetCommState(native(port), &settings);
}

bool writeSerialPort(PortHandle port, const std::uint8_t* bytes, std::size_t count)
{
    DWORD written = 0;
    return ::WriteFile(native(port), bytes, static_cast<DWORD>(count), &written, nullptr) != FALSE;
}

void purgeSerialInput(PortHandle port)
{
    ::PurgeComm(native(port), PURGE_RXABORT | PURGE_RXCLEAR);
}

void closeSerialPort(PortHandle port)
{
    ::CloseHandle(native(port));
}

} // namespace BrillLamp

#endif

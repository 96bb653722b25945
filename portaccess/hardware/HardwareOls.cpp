#if !defined(_WIN32)

// Port-access module doing real x86 port I/O. Port permission is granted per thread by
// ioperm, and lamp calls come from threads created before and after InitializeOls, so each
// thread obtains it on its first port access.

#include "portaccess/OlsFunctions.h"

#include <sys/io.h>

namespace {

constexpr unsigned long HighestPort = 0xA0A; // covers 0x2E/0x2F, 0x580-0x58B, 0xA00-0xA09

bool threadHasPermission()
{
    thread_local bool granted = false;
    if (!granted)
        granted = ::ioperm(0, HighestPort + 1, 1) == 0;
    return granted;
}

} // namespace

extern "C" {

OLS_EXPORT Ols::Bool OLS_CALL InitializeOls()
{
    return threadHasPermission() ? 1 : 0;
}

OLS_EXPORT Ols::Byte OLS_CALL ReadIoPortByte(Ols::Word port)
{
    return threadHasPermission() ? ::inb(port) : 0xFF;
}

OLS_EXPORT Ols::Dword OLS_CALL ReadIoPortDword(Ols::Word port)
{
    return threadHasPermission() ? ::inl(port) : 0xFFFFFFFFu;
}

OLS_EXPORT void OLS_CALL WriteIoPortByte(Ols::Word port, Ols::Byte value)
{
    if (threadHasPermission())
        ::outb(value, port);
}

OLS_EXPORT void OLS_CALL WriteIoPortDword(Ols::Word port, Ols::Dword value)
{
    if (threadHasPermission())
        ::outl(value, port);
}

} // extern "C"

// The lamp driver calls only the five above; every other entry point reports failure.
OLS_FUNCTIONS(OLS_STUB)

#endif

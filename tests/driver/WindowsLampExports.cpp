#if defined(_WIN32)
#include "tests/driver/LampExports.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace DriverTest {

void* LampExports::open()
{
    const HMODULE library = LoadLibraryW(L"BrillLamp.dll");
    if (!library)
        throw std::runtime_error("LoadLibraryW(BrillLamp.dll) failed, error " + std::to_string(GetLastError()));
    return library;
}

void* LampExports::bind(const char* name) const
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

} // namespace DriverTest
#endif

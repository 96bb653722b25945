#if defined(_WIN32)

#include "PortAccessModule.h"

#include <windows.h>

namespace BrillLamp {

void* loadPortAccessModule()
{
    return ::LoadLibraryW(L"WinRing0.dll");
}

EntryPoint findEntryPoint(void* module, const char* name)
{
    return reinterpret_cast<EntryPoint>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

} // namespace BrillLamp

#endif

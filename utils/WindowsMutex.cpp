#if defined(_WIN32)

#include "WindowsMutex.h"

namespace Norvik::Utils::Threading {

namespace {

constexpr DWORD spinCount = 1024;

} // namespace

Mutex* Mutex::create()
{
    return new WindowsMutex();
}

WindowsMutex::WindowsMutex()
{
    InitializeCriticalSectionAndSpinCount(&section, spinCount);
}

WindowsMutex::~WindowsMutex()
{
    DeleteCriticalSection(&section);
}

bool WindowsMutex::tryLock()
{
    return TryEnterCriticalSection(&section) != FALSE;
}

bool WindowsMutex::lock()
{
    EnterCriticalSection(&section);
    return true;
}

bool WindowsMutex::unlock()
{
    LeaveCriticalSection(&section);
    return false;
}

} // namespace Norvik::Utils::Threading

#endif

#if defined(_WIN32)

#include "utils/threading/WindowsMutex.h"

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
    if (TryEnterCriticalSection(&section) == FALSE) {
        return false;
    }
    taken();
    return true;
}

bool WindowsMutex::lock()
{
    EnterCriticalSection(&section);
    taken();
    return true;
}

// Leaving a critical section that this thread does not hold is undefined, so it is refused.
bool WindowsMutex::unlock()
{
    if (owner.load() != GetCurrentThreadId()) {
        return false;
    }
    if (--depth == 0) {
        owner.store(0);
    }
    LeaveCriticalSection(&section);
    return true;
}

void WindowsMutex::taken()
{
    if (depth++ == 0) {
        owner.store(GetCurrentThreadId());
    }
}

} // namespace Norvik::Utils::Threading

#endif

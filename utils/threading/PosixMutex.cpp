#if !defined(_WIN32)

#include "utils/threading/PosixMutex.h"

#include "utils/text/Exception.h"
#include "utils/text/StringUtils.h"

namespace Norvik::Utils::Threading {

Mutex* Mutex::create()
{
    return new PosixMutex();
}

PosixMutex::PosixMutex()
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    const int error = pthread_mutex_init(&mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (error != 0) {
        throw Exception(error, StringUtils::getSystemErrorText(static_cast<unsigned long>(error)));
    }
}

PosixMutex::~PosixMutex()
{
    pthread_mutex_destroy(&mutex);
}

bool PosixMutex::tryLock()
{
    return pthread_mutex_trylock(&mutex) == 0;
}

bool PosixMutex::lock()
{
    return pthread_mutex_lock(&mutex) == 0;
}

bool PosixMutex::unlock()
{
    return pthread_mutex_unlock(&mutex) == 0;
}

} // namespace Norvik::Utils::Threading

#endif

#pragma once

#if !defined(_WIN32)

#include "utils/threading/Mutex.h"

#include <pthread.h>

namespace Norvik::Utils::Threading {

class PosixMutex : public Mutex {
public:
    PosixMutex();
    ~PosixMutex() override;

    bool tryLock() override;
    // Whether the call took or released the lock: unlocking fails in a thread that does not hold it.
    bool lock() override;
    bool unlock() override;

    PosixMutex(const PosixMutex&) = delete;
    PosixMutex& operator=(const PosixMutex&) = delete;

private:
    pthread_mutex_t mutex;
};

} // namespace Norvik::Utils::Threading

#endif

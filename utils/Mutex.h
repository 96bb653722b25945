#pragma once

namespace Norvik::Utils::Threading {

// A recursive lock: the thread that holds it may lock it again and unlocks it as often.
class Mutex {
public:
    // A new platform mutex (WindowsMutex or PosixMutex); owned by the caller.
    static Mutex* create();

    virtual ~Mutex() = default;
    virtual bool tryLock() = 0;
    virtual bool lock() = 0;
    virtual bool unlock() = 0;

protected:
    Mutex() = default;
};

class ScopedLock {
public:
    explicit ScopedLock(Mutex* mutex) : mutex(mutex) { mutex->lock(); }
    ~ScopedLock() { mutex->unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Mutex* mutex;
};

} // namespace Norvik::Utils::Threading

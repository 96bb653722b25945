#pragma once

// Locks: this Mutex (Mutex::create, ScopedLock) where the design names one, the logging front
// end's; std::mutex where a lock only guards a class's private state.

namespace Norvik::Utils::Threading {

// A recursive lock: the thread that holds it may lock it again and unlocks it as often.
class Mutex {
public:
    // A new platform mutex (WindowsMutex or PosixMutex); owned by the caller.
    static Mutex* create();

    virtual ~Mutex() = default;
    // True when the lock was taken.
    virtual bool tryLock() = 0;
    virtual bool lock() = 0;
    // True when the lock was released; false when the calling thread did not hold it.
    virtual bool unlock() = 0;

protected:
    Mutex() = default;
};

class ScopedLock {
public:
    explicit ScopedLock(Mutex* mutex) : mutex(mutex), locked(mutex->lock()) {}
    ~ScopedLock()
    {
        if (locked) {
            mutex->unlock();
        }
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Mutex* mutex;
    // A lock that was never taken is not released.
    bool locked;
};

} // namespace Norvik::Utils::Threading

#if !defined(_WIN32)

#include "PosixThread.h"

#include "StringUtils.h"

namespace Norvik::Utils::Threading {

Thread* Thread::create(Routine* routine)
{
    return new PosixThread(routine);
}

PosixThread::PosixThread(Routine* routine) : Thread(routine) {}

PosixThread::~PosixThread()
{
    if (!started) {
        return;
    }
    // A finished body is about to return, so joining is brief; one still running is left to end on its own.
    if (isFinished()) {
        pthread_join(threadHandle, nullptr);
    } else {
        pthread_detach(threadHandle);
    }
}

void PosixThread::start(int intervalMs, int runsLeft)
{
    if (started) {
        join();
    }
    setRunParameters(intervalMs, runsLeft);
    const int error = pthread_create(&threadHandle, nullptr, &PosixThread::entry, this);
    if (error != 0) {
        creationFailed(StringUtils::getSystemErrorText(static_cast<unsigned long>(error)));
        return;
    }
    started = true;
}

void PosixThread::join()
{
    if (!started) {
        return;
    }
    requestStop();
    pthread_join(threadHandle, nullptr);
    setFinished(true);
    started = false;
}

void* PosixThread::entry(void* argument)
{
    static_cast<PosixThread*>(argument)->body();
    return nullptr;
}

} // namespace Norvik::Utils::Threading

#endif

#if !defined(_WIN32)

#include "utils/threading/PosixThread.h"

#include "utils/text/StringUtils.h"

namespace Norvik::Utils::Threading {

Thread* Thread::create(Routine* routine)
{
    return new PosixThread(routine);
}

PosixThread::PosixThread(Routine* routine) : Thread(routine) {}

PosixThread::~PosixThread()
{
    // A body still running uses this object until it returns, so it is stopped and waited for.
    PosixThread::join();
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

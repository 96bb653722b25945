#if !defined(_WIN32)

#include "StopSignal.h"

#include <cerrno>
#include <csignal>
#include <ctime>

namespace Norvik {

namespace {

class PosixStopSignal : public StopSignal {
public:
    PosixStopSignal()
    {
        sigemptyset(&requests);
        sigaddset(&requests, SIGINT);
        sigaddset(&requests, SIGTERM);
        // Threads started later inherit the mask, so only sigtimedwait ever takes these signals.
        pthread_sigmask(SIG_BLOCK, &requests, &previous);
    }

    ~PosixStopSignal() override { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

    Request wait(unsigned milliseconds) override
    {
        timespec timeout{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
        for (;;) {
            const int signal = sigtimedwait(&requests, nullptr, &timeout);
            if (signal == SIGINT)
                return Interrupt;
            if (signal == SIGTERM)
                return Terminate;
            // EINTR: a handler of some other signal ran; wait again.
            if (signal < 0 && errno != EINTR)
                return None;
        }
    }

private:
    sigset_t requests;
    sigset_t previous;
};

} // namespace

StopSignal* StopSignal::create()
{
    return new PosixStopSignal();
}

} // namespace Norvik

#endif

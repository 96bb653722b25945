#if !defined(_WIN32)

#include "service/StopSignal.h"

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
        // Closing the terminal: the console run stops as cleanly as on Ctrl+C.
        sigaddset(&requests, SIGHUP);
        // Threads started later inherit the mask, so only sigtimedwait ever takes these signals.
        pthread_sigmask(SIG_BLOCK, &requests, &previous);
    }

    // The program is ending: a request that arrives now, or came while the mask held it, must not
    // end it by the default action before its clean-up has run.
    ~PosixStopSignal() override
    {
        absorbFurtherRequests();
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    Request wait(unsigned milliseconds) override
    {
        timespec timeout{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
        for (;;) {
            const int signal = sigtimedwait(&requests, nullptr, &timeout);
            if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP) {
                // The shutdown has begun; a thread that did not inherit the mask must not take the next one.
                absorbFurtherRequests();
                return signal == SIGTERM ? Terminate : Interrupt;
            }
            // EINTR: a handler of some other signal ran; wait again.
            if (signal < 0 && errno != EINTR)
                return None;
        }
    }

private:
    static void absorbFurtherRequests()
    {
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGTERM, SIG_IGN);
        std::signal(SIGHUP, SIG_IGN);
    }

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

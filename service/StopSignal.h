#pragma once

namespace Norvik {

// The console's and the service manager's request to end (POSIX: SIGINT, SIGHUP and SIGTERM; Windows:
// Ctrl+C, Ctrl+Break, closing the console, logoff and shutdown). Create it before any thread so
// that the request reaches the waiter rather than ending the process.
class StopSignal {
public:
    enum Request { None, Interrupt, Terminate };

    static StopSignal* create();
    virtual ~StopSignal() = default;

    // Blocks until a request arrives or the time is up (then None).
    virtual Request wait(unsigned milliseconds) = 0;
};

} // namespace Norvik

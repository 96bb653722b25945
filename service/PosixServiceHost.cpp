#if !defined(_WIN32)

#include "service/ServiceHost.h"

#include "light/Server.h"
#include "service/ServerRun.h"
#include "service/ServiceTexts.h"
#include "service/StopSignal.h"

#include <systemd/sd-daemon.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

namespace Norvik {

namespace {

// Below the unit's TimeoutStartSec (90 s); the unit lists the status in RestartPreventExitStatus.
constexpr std::chrono::seconds portWaitLimit{60};
constexpr int portHeldStatus = 69;

class PosixServiceHost : public ServiceHost {
public:
    int dispatch() override
    {
        // systemd sets one of these for every unit it starts; a plain console start is refused
        // silently, as the dispatcher refuses it on Windows.
        if (!std::getenv("NOTIFY_SOCKET") && !std::getenv("INVOCATION_ID"))
            return -1;

        const std::unique_ptr<StopSignal> stopSignal(StopSignal::create());

        std::atomic<bool> ready{false};
        std::unique_ptr<Server> server = ServerRun::build([&](const Server&) {
            ready = true;
            printLine(startedLine());
            sd_notifyf(0, "READY=1\nSTATUS=Listening on port %d", Server::port);
        });
        if (!server) {
            sd_notify(0, "STATUS=The request server could not be built");
            return 1;
        }
        // Ready only when a client can connect: the port may be taken by another program and
        // bound on a later retry; the lamp is initialised only then.
        if (!ready)
            sd_notifyf(0, "STATUS=Waiting for port %d to be free", Server::port);
        // Given up well before the unit's start timeout, with a status the unit does not restart
        // on: a port held for good must not make systemd kill and start us again and again.
        const auto giveUpAt = std::chrono::steady_clock::now() + portWaitLimit;
        bool gaveUp = false;
        const bool stopped = ServerRun::waitForStop(*server, [&](int timeoutMs) {
            if (!ready && std::chrono::steady_clock::now() >= giveUpAt) {
                gaveUp = true;
                return true;
            }
            return stopSignal->wait(static_cast<unsigned>(timeoutMs)) != StopSignal::None;
        });
        if (gaveUp) {
            const std::string line = "Port " + std::to_string(Server::port) +
                " is still held by another program after " + std::to_string(portWaitLimit.count()) +
                " s; the service ends";
            printLine(line);
            sd_notifyf(0, "STATUS=%s", line.c_str());
            server.reset();
            return portHeldStatus;
        }
        if (stopped)
            printLine(Texts::stopped);
        sd_notify(0, "STOPPING=1");
        server.reset();
        return stopped ? 0 : -1;
    }
};

} // namespace

ServiceHost* ServiceHost::create()
{
    return new PosixServiceHost();
}

} // namespace Norvik

#endif

#if !defined(_WIN32)

#include "service/ServiceHost.h"

#include "light/Server.h"
#include "service/ServerRun.h"
#include "service/ServiceTexts.h"
#include "service/StopSignal.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>
#include <memory>

namespace Norvik {

namespace {

class PosixServiceHost : public ServiceHost {
public:
    int dispatch() override
    {
        // systemd sets one of these for every unit it starts; a plain console start is refused
        // silently, as the dispatcher refuses it on Windows.
        if (!std::getenv("NOTIFY_SOCKET") && !std::getenv("INVOCATION_ID"))
            return -1;

        const std::unique_ptr<StopSignal> stopSignal(StopSignal::create());
        printLine(startedLine());

        std::unique_ptr<Server> server = ServerRun::build();
        if (!server) {
            sd_notify(0, "STATUS=The request server could not be built");
            return 1;
        }
        // Ready only when a client can connect: the lamp is initialised, but the port may be taken
        // by another program and bound on a later retry.
        if (!server->isListening())
            sd_notifyf(0, "STATUS=Waiting for port %d to be free", Server::port);
        const bool stopped = ServerRun::waitForStop(
            *server,
            [&](int timeoutMs) { return stopSignal->wait(static_cast<unsigned>(timeoutMs)) != StopSignal::None; },
            [] { sd_notifyf(0, "READY=1\nSTATUS=Listening on port %d", Server::port); });
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

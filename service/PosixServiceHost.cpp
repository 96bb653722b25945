#if !defined(_WIN32)

#include "ServiceHost.h"

#include "Server.h"
#include "ServiceTexts.h"
#include "StopSignal.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>
#include <exception>
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

        std::unique_ptr<Server> server;
        try {
            server.reset(new Server());
        } catch (const std::exception& error) {
            printLine(std::string("[-] Exception: ") + error.what());
            sd_notify(0, "STATUS=The request server could not be built");
            return 1;
        }
        // Ready once the server is built: the port is open and the lamp initialised.
        sd_notify(0, "READY=1");

        int result = 0;
        for (;;) {
            if (stopSignal->wait(1000) != StopSignal::None) {
                printLine(Texts::stopped);
                break;
            }
            if (server->isFinished()) {
                result = -1;
                break;
            }
        }
        sd_notify(0, "STOPPING=1");
        server.reset();
        return result;
    }
};

} // namespace

ServiceHost* ServiceHost::create()
{
    return new PosixServiceHost();
}

} // namespace Norvik

#endif

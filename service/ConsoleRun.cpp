#include "service/ConsoleRun.h"

#include "light/Server.h"
#include "service/ServerRun.h"
#include "service/ServiceTexts.h"
#include "service/StopSignal.h"

#include <memory>

namespace Norvik {

int ConsoleRun::run()
{
    const std::unique_ptr<StopSignal> stopSignal(StopSignal::create());

    // Started only once the port is ours: a second run waits for it and leaves the lamp alone.
    std::unique_ptr<Server> server = ServerRun::build([](const Server&) { printLine(startedLine()); });
    if (!server)
        return 1;
    ServerRun::waitForStop(
        *server, [&](int timeoutMs) { return stopSignal->wait(static_cast<unsigned>(timeoutMs)) != StopSignal::None; });
    printLine(Texts::finish);
    // Destroying the server closes the lamp connection before the program ends.
    server.reset();
    return 0;
}

} // namespace Norvik

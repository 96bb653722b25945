#include "ConsoleRun.h"

#include "Server.h"
#include "ServiceTexts.h"
#include "StopSignal.h"

#include <exception>
#include <memory>

namespace Norvik {

int ConsoleRun::run()
{
    const std::unique_ptr<StopSignal> stopSignal(StopSignal::create());
    printLine(startedLine());

    std::unique_ptr<Server> server;
    try {
        server.reset(new Server());
    } catch (const std::exception& error) {
        printLine(std::string("[-] Exception: ") + error.what());
        return 1;
    }

    // Asks the server once a second, as before; a stop request ends the wait at once.
    while (stopSignal->wait(1000) == StopSignal::None) {
        if (server->isFinished())
            break;
    }
    printLine(Texts::finish);
    // Destroying the server closes the lamp connection before the program ends.
    server.reset();
    return 0;
}

} // namespace Norvik

#include "service/ServerRun.h"

#include "utils/logging/Logger.h"
#include "light/Server.h"
#include "service/ServiceTexts.h"

#include <exception>
#include <string>

namespace Norvik::ServerRun {

std::unique_ptr<Server> build(const std::function<void()>& listening)
{
    try {
        const std::string refusal = logFolderRefusal();
        if (!refusal.empty()) {
            printLine(refusal);
            return nullptr;
        }
        return std::unique_ptr<Server>(new Server(Server::port, listening));
    } catch (const std::exception& error) {
        printLine(std::string("[-] Exception: ") + error.what());
        return nullptr;
    }
}

bool waitForStop(const Server& server, const std::function<bool(int timeoutMs)>& stopRequested)
{
    for (;;) {
        if (stopRequested(1000))
            return true;
        if (server.isFinished())
            return false;
    }
}

} // namespace Norvik::ServerRun

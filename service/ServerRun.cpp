#include "service/ServerRun.h"

#include "utils/logging/Logger.h"
#include "light/Server.h"
#include "service/ServiceTexts.h"

#include <exception>
#include <string>

namespace Norvik::ServerRun {

std::unique_ptr<Server> build()
{
    try {
        const std::string refusal = logFolderRefusal();
        if (!refusal.empty()) {
            printLine(refusal);
            return nullptr;
        }
        return std::unique_ptr<Server>(new Server());
    } catch (const std::exception& error) {
        printLine(std::string("[-] Exception: ") + error.what());
        return nullptr;
    }
}

bool waitForStop(const Server& server, const std::function<bool(int timeoutMs)>& stopRequested,
                 const std::function<void()>& listening)
{
    bool reported = !listening;
    for (;;) {
        if (!reported && server.isListening()) {
            listening();
            reported = true;
        }
        // The server retries a taken port once a second; it is watched more closely until then.
        if (stopRequested(reported ? 1000 : 100))
            return true;
        if (server.isFinished())
            return false;
    }
}

} // namespace Norvik::ServerRun

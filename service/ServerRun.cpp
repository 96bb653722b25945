#include "service/ServerRun.h"

#include "utils/logging/Logger.h"
#include "light/Server.h"
#include "service/ServiceTexts.h"

#include <exception>
#include <string>

namespace Norvik::ServerRun {

namespace {

std::unique_ptr<Server> refuse(Refusal* refusal, Refusal::Code code, const std::string& line)
{
    printLine(line);
    if (refusal)
        *refusal = Refusal{code, line};
    return nullptr;
}

} // namespace

std::unique_ptr<Server> build(Refusal* refusal, const std::function<void()>& lampStep)
{
    try {
        const std::string folderRefusal = logFolderRefusal();
        if (!folderRefusal.empty())
            return refuse(refusal, Refusal::LogFolderUnnamable, folderRefusal);
        if (lampStep)
            lampStep();
        return std::unique_ptr<Server>(new Server());
    } catch (const std::exception& error) {
        return refuse(refusal, Refusal::ServerFailed, std::string("[-] Exception: ") + error.what());
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

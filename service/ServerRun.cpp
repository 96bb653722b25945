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

std::unique_ptr<Server> build(const std::function<void(const Server&)>& listening, Refusal* refusal)
{
    try {
        const std::string folderRefusal = logFolderRefusal();
        if (!folderRefusal.empty())
            return refuse(refusal, Refusal::LogFolderUnnamable, folderRefusal);
        return std::unique_ptr<Server>(new Server(Server::port, listening));
    } catch (const std::exception& error) {
        return refuse(refusal, Refusal::ServerFailed, std::string("[-] Exception: ") + error.what());
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

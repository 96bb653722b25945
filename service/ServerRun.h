#pragma once

#include <functional>
#include <memory>
#include <string>

namespace Norvik {

class Server;

// The request server's run, shared by the console run and the service hosts.
namespace ServerRun {

// Why the request server was not built; the code is the service's own exit code on Windows.
struct Refusal {
    enum Code { None = 0, LogFolderUnnamable = 1, ServerFailed = 2 };
    Code code = None;
    std::string line;
};

// The request server, or null after printing why it could not be built (also kept in refusal).
// lampStep, when given, is called once the log folder is named, before the lamp is loaded.
std::unique_ptr<Server> build(Refusal* refusal = nullptr, const std::function<void()>& lampStep = {});

// Asks the server once a second whether it has finished; a stop request ends the wait at once.
// stopRequested(timeoutMs) waits up to timeoutMs for a stop. listening, when given, is called once
// as soon as the server listens, which may be after some retries when the port was taken at start.
// True when stopped, false when the server finished by itself.
bool waitForStop(const Server& server, const std::function<bool(int timeoutMs)>& stopRequested,
                 const std::function<void()>& listening = {});

} // namespace ServerRun

} // namespace Norvik

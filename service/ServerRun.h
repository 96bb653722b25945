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
// listening is called with the server once the port is its own and the lamp is initialised,
// before any client is served (at once when the port is free, later from the server's own
// thread when it was taken).
std::unique_ptr<Server> build(const std::function<void(const Server&)>& listening, Refusal* refusal = nullptr);

// Asks the server once a second whether it has finished; a stop request ends the wait at once.
// stopRequested(timeoutMs) waits up to timeoutMs for a stop. True when stopped, false when the
// server finished by itself.
bool waitForStop(const Server& server, const std::function<bool(int timeoutMs)>& stopRequested);

} // namespace ServerRun

} // namespace Norvik

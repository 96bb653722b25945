#pragma once

#include <functional>
#include <memory>

namespace Norvik {

class Server;

// The request server's run, shared by the console run and the service hosts.
namespace ServerRun {

// The request server, or null after printing why it could not be built. listening is called
// once the port is the server's and the lamp is initialised, before any client is served (at
// once when the port is free, later from the server's own thread when it was taken).
std::unique_ptr<Server> build(const std::function<void()>& listening);

// Asks the server once a second whether it has finished; a stop request ends the wait at once.
// stopRequested(timeoutMs) waits up to timeoutMs for a stop. True when stopped, false when the
// server finished by itself.
bool waitForStop(const Server& server, const std::function<bool(int timeoutMs)>& stopRequested);

} // namespace ServerRun

} // namespace Norvik

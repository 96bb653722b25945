#pragma once

#include <functional>
#include <memory>

namespace Norvik {

class Server;

// The request server's run, shared by the console run and the service hosts.
namespace ServerRun {

// The request server, or null after printing why it could not be built.
std::unique_ptr<Server> build();

// Asks the server once a second whether it has finished; a stop request ends the wait at once.
// stopRequested(timeoutMs) waits up to timeoutMs for a stop. listening, when given, is called once
// as soon as the server listens, which may be after some retries when the port was taken at start.
// True when stopped, false when the server finished by itself.
bool waitForStop(const Server& server, const std::function<bool(int timeoutMs)>& stopRequested,
                 const std::function<void()>& listening = {});

} // namespace ServerRun

} // namespace Norvik

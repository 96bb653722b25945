#pragma once

#include <string>
#include <thread>
#include <vector>

namespace ToolTest {

// A stand-in for the light service on a free loopback port, serving one connection: it reads
// until the request's braces balance, sends the answer chunks (none: stays silent), then keeps
// reading until the client closes, so everything the client sent is recorded.
class FakeService {
public:
    enum class Mode { Answer, Silent, CloseAtOnce };

    FakeService(Mode mode, std::vector<std::string> answerChunks = {});
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    unsigned short port() const { return boundPort; }
    // Waits for the connection to end and returns the bytes received on it.
    std::string received();

private:
    void serve();

    const Mode mode;
    const std::vector<std::string> chunks;
    int listener = -1;
    int wakeRead = -1, wakeWrite = -1;
    unsigned short boundPort = 0;
    std::string bytes; // the worker's alone until it has been joined
    std::thread worker;
};

} // namespace ToolTest

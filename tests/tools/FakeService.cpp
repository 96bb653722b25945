#include "tests/tools/FakeService.h"

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace ToolTest {

FakeService::FakeService(Mode mode, std::vector<std::string> answerChunks) : mode(mode), chunks(std::move(answerChunks))
{
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int pipeEnds[2];
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("fake service: cannot listen");
    wakeRead = pipeEnds[0];
    wakeWrite = pipeEnds[1];
    boundPort = ntohs(address.sin_port);
    worker = std::thread([this] { serve(); });
}

FakeService::~FakeService()
{
    if (::write(wakeWrite, "x", 1) != 1) {}
    if (worker.joinable())
        worker.join();
    ::close(listener);
    ::close(wakeRead);
    ::close(wakeWrite);
}

std::string FakeService::received()
{
    if (worker.joinable())
        worker.join();
    return bytes;
}

void FakeService::serve()
{
    pollfd waitAccept[] = {{listener, POLLIN, 0}, {wakeRead, POLLIN, 0}};
    if (::poll(waitAccept, 2, 10000) <= 0 || !(waitAccept[0].revents & POLLIN))
        return;
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return;
    if (mode == Mode::CloseAtOnce) {
        ::close(client);
        return;
    }
    int depth = 0;
    bool answered = false;
    for (;;) {
        pollfd waitData[] = {{client, POLLIN, 0}, {wakeRead, POLLIN, 0}};
        if (::poll(waitData, 2, 10000) <= 0 || !(waitData[0].revents & (POLLIN | POLLHUP)))
            break;
        char buffer[1024];
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        for (ssize_t i = 0; i < n; ++i)
            depth += buffer[i] == '{' ? 1 : buffer[i] == '}' ? -1 : 0;
        if (depth == 0 && !answered && mode == Mode::Answer) {
            answered = true;
            for (const std::string& chunk : chunks) {
                if (::send(client, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0)
                    break;
                // Separate segments, as a slow peer would send them.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }
    ::close(client);
}

} // namespace ToolTest

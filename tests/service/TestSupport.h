#pragma once

#include <string>

namespace ServiceTests {

// The program under test, built beside the lamp library and the simulated chip.
std::string programPath();

// A fresh directory, removed with its contents at the end.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& path() const { return directory; }
    std::string file(const std::string& name) const { return directory + "/" + name; }

private:
    std::string directory;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text, unsigned mode = 0644);
bool fileExists(const std::string& path);

// A datagram socket standing in for systemd's notification socket.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    // Waits for a message that contains text; the messages read meanwhile are kept in received().
    bool waitFor(const std::string& text, int timeoutMs);
    const std::string& received() const { return messages; }

private:
    int fd = -1;
    std::string messages;
};

// A loopback TCP client; connected() is false when nothing listens.
class TcpClient {
public:
    explicit TcpClient(int port);
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool connected() const { return fd >= 0; }
    void send(const std::string& text);
    // Reads until count bytes arrived, the peer closed or the time is up.
    std::string receive(std::size_t count, int timeoutMs);

private:
    int fd = -1;
};

// Processor time the process has used so far, in clock ticks (user and system).
long cpuTicks(int pid);

// Tries to connect until something listens on the port or the time is up.
bool waitForListener(int port, int timeoutMs);

} // namespace ServiceTests

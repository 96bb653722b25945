#include "TestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace ServiceTests {

std::string programPath()
{
    return LIGHTSERVICE_PROGRAM;
}

TempDirectory::TempDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lightservice-test-XXXXXX").string();
    if (!mkdtemp(&pattern[0]))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    directory = pattern;
    // The unprivileged runs must be able to reach what the test puts here.
    chmod(directory.c_str(), 0755);
}

TempDirectory::~TempDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text, unsigned mode)
{
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
    }
    chmod(path.c_str(), mode);
}

bool fileExists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

NotifySocket::NotifySocket(const std::string& path)
{
    fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error(std::string("notification socket: ") + std::strerror(errno));
}

NotifySocket::~NotifySocket()
{
    if (fd >= 0)
        close(fd);
}

bool NotifySocket::waitFor(const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd polled{fd, POLLIN, 0};
        if (poll(&polled, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            continue;
        const std::string message(buffer, static_cast<size_t>(n));
        messages += message + "\n";
        if (message.find(text) != std::string::npos)
            return true;
    }
}

TcpClient::TcpClient(int port)
{
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        fd = -1;
    }
}

TcpClient::~TcpClient()
{
    if (fd >= 0)
        close(fd);
}

void TcpClient::send(const std::string& text)
{
    if (::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error(std::string("send: ") + std::strerror(errno));
}

std::string TcpClient::receive(std::size_t count, int timeoutMs)
{
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd polled{fd, POLLIN, 0};
        if (left <= 0 || poll(&polled, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[1024];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        received.append(buffer, static_cast<size_t>(n));
    }
    return received;
}

long cpuTicks(int pid)
{
    std::string text = readFile("/proc/" + std::to_string(pid) + "/stat");
    // Fields after the command name: state is the first, utime and stime the 12th and 13th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
        if (i >= 12)
            ticks += std::stol(field);
    }
    return ticks;
}

bool waitForListener(int port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (TcpClient(port).connected())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace ServiceTests

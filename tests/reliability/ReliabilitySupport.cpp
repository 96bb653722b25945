#include "ReliabilitySupport.h"

#include "TcpClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace Reliability {

const std::string successAnswer = "{\n   \"error\" : 0,\n   \"log\" : \"\"\n}\n";

std::string failureAnswer(const std::string& log)
{
    return "{\n   \"error\" : -1,\n   \"log\" : \"" + log + "\"\n}\n";
}

bool waitForFreePort(unsigned short port, std::chrono::milliseconds timeout)
{
    return waitUntil(
        [port] {
            const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const int reuse = 1;
            ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const bool free = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            ::close(probe);
            return free;
        },
        timeout);
}

Service::Service(const std::vector<std::string>& argv, const Environment& env, const std::string& outputFile)
    : outputPath(outputFile)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (env.count(text.substr(0, text.find('='))) == 0)
            entries.push_back(text);
    }
    for (const auto& [name, value] : env)
        if (!value.empty())
            entries.push_back(name + "=" + value);

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : entries)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        throw std::runtime_error("cannot create " + outputFile);
    child = ::fork();
    if (child == 0) {
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        const int nothing = ::open("/dev/null", O_RDONLY);
        ::dup2(nothing, STDIN_FILENO);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(out);
    if (child < 0)
        throw std::runtime_error("fork failed");
}

Service::~Service()
{
    if (running()) {
        ::kill(child, SIGKILL);
        waitExit(5s);
    }
}

void Service::signal(int number) const
{
    ::kill(child, number);
}

int Service::waitExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (status < 0) {
        int raw = 0;
        const pid_t done = ::waitpid(child, &raw, WNOHANG);
        if (done == child) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(5ms);
    }
    return status;
}

bool Service::running()
{
    return child > 0 && waitExit(0ms) < 0;
}

std::string Service::output() const
{
    return readFile(outputPath);
}

long Service::statusField(const char* name) const
{
    std::ifstream status("/proc/" + std::to_string(child) + "/status");
    const std::string prefix = std::string(name) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

bool Service::listensOn(unsigned short port) const
{
    std::vector<std::string> sockets;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(child) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.rfind("socket:[", 0) == 0)
            sockets.push_back(target.substr(8, target.size() - 9));
    }
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", static_cast<unsigned>(port));
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, address, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> address >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        if (address == local && state == "0A" && std::find(sockets.begin(), sockets.end(), inode) != sockets.end())
            return true;
    }
    return false;
}

long Service::residentKiB() const
{
    return statusField("VmRSS");
}

long Service::threads() const
{
    return statusField("Threads");
}

long Service::descriptors() const
{
    long count = 0;
    std::error_code error;
    for (auto entry = std::filesystem::directory_iterator("/proc/" + std::to_string(child) + "/fd", error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error))
        ++count;
    return error ? -1 : count;
}

Connection::Connection(unsigned short port) : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    if (fd >= 0 && !TestSupport::connectLoopback(fd, port))
        close();
    if (fd >= 0) {
        // Each send leaves as a segment of its own, so chunk borders are where the test puts them.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
}

Connection::~Connection()
{
    close();
}

Connection::Connection(Connection&& other) noexcept
    : fd(other.fd), peerEnded(other.peerEnded), pending(std::move(other.pending))
{
    other.fd = -1;
}

Connection& Connection::operator=(Connection&& other) noexcept
{
    if (this != &other) {
        close();
        fd = other.fd;
        peerEnded = other.peerEnded;
        pending = std::move(other.pending);
        other.fd = -1;
    }
    return *this;
}

void Connection::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool Connection::send(const std::string& bytes)
{
    std::size_t sent = 0;
    while (fd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return fd >= 0;
}

std::string Connection::readAnswer(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t end = pending.find("}\n");
        if (end != std::string::npos) {
            std::string answer = pending.substr(0, end + 2);
            pending.erase(0, end + 2);
            return answer;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (fd < 0 || peerEnded || left.count() <= 0)
            return "";
        pollfd waiter{fd, POLLIN, 0};
        const int ready = ::poll(&waiter, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return "";
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            peerEnded = true;
            return "";
        }
        pending.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string Connection::drain(std::chrono::milliseconds quiet)
{
    pollfd waiter{fd, POLLIN, 0};
    while (fd >= 0 && !peerEnded && ::poll(&waiter, 1, static_cast<int>(quiet.count())) > 0) {
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            peerEnded = true;
            break;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
    }
    std::string all;
    all.swap(pending);
    return all;
}

bool Connection::seesEnd(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!peerEnded && fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd waiter{fd, POLLIN, 0};
        if (::poll(&waiter, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            peerEnded = true;
        else
            pending.append(chunk, static_cast<std::size_t>(n));
    }
    return peerEnded;
}

std::string answerWithin(unsigned short port, const std::string& request, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        Connection connection(port);
        if (connection.isOpen() && connection.send(request)) {
            const std::string answer = connection.readAnswer(200ms);
            if (!answer.empty())
                return answer;
        }
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return "";
}

void raiseOpenFilesLimit(rlim_t count)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < count) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > count ? count : limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

} // namespace Reliability

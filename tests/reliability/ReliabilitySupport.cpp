#include "tests/reliability/ReliabilitySupport.h"

#include "tests/support/TcpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace Reliability {

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

namespace {

TestSupport::ChildOptions toFile(const std::string& outputFile)
{
    TestSupport::ChildOptions options;
    options.outputFile = outputFile;
    options.errorFile = outputFile;
    return options;
}

} // namespace

Service::Service(const std::vector<std::string>& argv, const Environment& env, const std::string& outputFile)
    : outputPath(outputFile), child(argv, env, toFile(outputFile))
{
    child.closeInput();
}

Service::~Service() = default;

std::string Service::output() const
{
    return readFile(outputPath);
}

long Service::statusField(const char* name) const
{
    std::ifstream status("/proc/" + std::to_string(child.pid()) + "/status");
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
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(child.pid()) + "/fd", error)) {
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
    for (auto entry = std::filesystem::directory_iterator("/proc/" + std::to_string(child.pid()) + "/fd", error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error))
        ++count;
    return error ? -1 : count;
}

std::string answerWithin(unsigned short port, const std::string& request, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        TcpClient connection(port);
        if (connection.connected() && connection.trySend(request)) {
            // Sent, it is answered however busy the machine: only an ended connection is tried again.
            const auto left = std::chrono::milliseconds(TestSupport::millisecondsLeft(deadline));
            const std::string answer = connection.readAnswer(std::max(left, 200ms));
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

} // namespace Reliability

#include "LightTestSupport.h"

#include "ChipState.h"
#include "LampSimState.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace Norvik::Testing {

namespace {

// Lamp type 6: each colour is one bit of its own port, lit while the bit is clear.
struct ColourBit {
    std::uint16_t port;
    std::uint8_t bit;
};
constexpr ColourBit redBit{0xA09, 0x08};
constexpr ColourBit greenBit{0xA04, 0x10};
constexpr ColourBit blueBit{0xA02, 0x80};

std::string uniqueTempPath(const std::string& stem)
{
    static int counter = 0;
    const char* dir = std::getenv("TMPDIR");
    std::ostringstream path;
    path << (dir && *dir ? dir : "/tmp") << "/" << stem << "-" << getpid() << "-" << ++counter;
    return path.str();
}

} // namespace

TestLamp::TestLamp() : path(uniqueTempPath("light-lampsim"))
{
    setenv("LAMPSIM_STATE", path.c_str(), 1);
    state = std::make_unique<LampSim::StateFile>(path);
}

TestLamp::~TestLamp()
{
    state.reset();
    std::remove(path.c_str());
}

bool TestLamp::Colours::operator==(const Colours& other) const
{
    return red == other.red && green == other.green && blue == other.blue;
}

TestLamp::Colours TestLamp::colours() const
{
    auto lit = [this](ColourBit colour) { return (state->readByte(colour.port) & colour.bit) == 0; };
    return {lit(redBit), lit(greenBit), lit(blueBit)};
}

std::uint64_t TestLamp::accessCount() const
{
    return state->accessCount();
}

bool TestLamp::chipLocked() const
{
    return state->locked();
}

std::ostream& operator<<(std::ostream& out, const TestLamp::Colours& colours)
{
    return out << "red " << colours.red << " green " << colours.green << " blue " << colours.blue;
}

CapturedStdout::CapturedStdout() : path(uniqueTempPath("light-stdout"))
{
    std::fflush(stdout);
    savedStdout = dup(STDOUT_FILENO);
    if (!std::freopen(path.c_str(), "w", stdout))
        throw std::runtime_error("cannot divert standard output");
}

CapturedStdout::~CapturedStdout()
{
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    ::close(savedStdout);
    std::remove(path.c_str());
}

std::string CapturedStdout::text() const
{
    std::fflush(stdout);
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::vector<std::string> CapturedStdout::lines() const
{
    std::vector<std::string> result;
    std::istringstream in(text());
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool CapturedStdout::waitForLine(const std::string& line) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        for (const std::string& written : lines())
            if (written == line)
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

TestClient::TestClient(int port) : fd(socket(AF_INET, SOCK_STREAM, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to the request server");
}

TestClient::~TestClient()
{
    close();
}

void TestClient::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void TestClient::send(const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("send to the request server failed");
        sent += static_cast<std::size_t>(n);
    }
}

std::string TestClient::readAnswer(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t end = pending.find("}\n");
        if (end != std::string::npos) {
            std::string answer = pending.substr(0, end + 2);
            pending.erase(0, end + 2);
            return answer;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return "";
        pollfd waiter{fd, POLLIN, 0};
        if (poll(&waiter, 1, static_cast<int>(left.count())) <= 0)
            return "";
        char chunk[4096];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return "";
        pending.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string TestClient::readAvailable(int timeoutMs)
{
    pollfd waiter{fd, POLLIN, 0};
    while (poll(&waiter, 1, timeoutMs) > 0) {
        char chunk[4096];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        pending.append(chunk, static_cast<std::size_t>(n));
    }
    std::string all;
    all.swap(pending);
    return all;
}

unsigned short TestClient::localPort() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

int freeTcpPort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

const std::string successAnswer = "{\n   \"error\" : 0,\n   \"log\" : \"\"\n}\n";

std::string failureAnswer(const std::string& log)
{
    return "{\n   \"error\" : -1,\n   \"log\" : \"" + log + "\"\n}\n";
}

} // namespace Norvik::Testing

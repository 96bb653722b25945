#include "LightTestSupport.h"

#include "ChipState.h"
#include "LampSimState.h"

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

TestClient::TestClient(int port) : client(port)
{
    if (!client.connected())
        throw std::runtime_error("cannot connect to the request server");
}

TestClient::~TestClient() = default;

void TestClient::close()
{
    client.close();
}

void TestClient::send(const std::string& bytes)
{
    client.send(bytes);
}

std::string TestClient::readAnswer(int timeoutMs)
{
    return client.receiveUntil("}\n", timeoutMs);
}

std::string TestClient::readAvailable(int timeoutMs)
{
    return client.receiveAvailable(timeoutMs);
}

void TestClient::shutdownSending()
{
    client.shutdownSending();
}

unsigned short TestClient::localPort() const
{
    return client.localPort();
}

const std::string successAnswer = "{\n   \"error\" : 0,\n   \"log\" : \"\"\n}\n";

std::string failureAnswer(const std::string& log)
{
    return "{\n   \"error\" : -1,\n   \"log\" : \"" + log + "\"\n}\n";
}

} // namespace Norvik::Testing

#include "tests/light/LightTestSupport.h"

#include "portaccess/simulated/ChipState.h"
#include "portaccess/simulated/LampSimState.h"
#include "tests/support/Wait.h"
#include "utils/logging/ConsoleWriter.h"

#include <unistd.h>

#include <algorithm>
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

} // namespace

TestLamp::TestLamp() : path(dir.file("lampsim.state"))
{
    setenv("LAMPSIM_STATE", path.c_str(), 1);
    state = std::make_unique<LampSim::StateFile>(path);
}

TestLamp::~TestLamp()
{
    state.reset();
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

CapturedStdout::CapturedStdout() : path(dir.file("stdout"))
{
    Utils::ConsoleWriter::flush();
    std::fflush(stdout);
    savedStdout = dup(STDOUT_FILENO);
    if (!std::freopen(path.c_str(), "w", stdout))
        throw std::runtime_error("cannot divert standard output");
}

CapturedStdout::~CapturedStdout()
{
    Utils::ConsoleWriter::flush();
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    ::close(savedStdout);
}

std::string CapturedStdout::text() const
{
    Utils::ConsoleWriter::flush();
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
    return TestSupport::waitUntil(
        [&] {
            const std::vector<std::string> written = lines();
            return std::find(written.begin(), written.end(), line) != written.end();
        },
        std::chrono::seconds(5), std::chrono::milliseconds(5));
}

void LampConsoleTest::SetUp()
{
    lamp = std::make_unique<TestLamp>();
    console = std::make_unique<CapturedStdout>();
}

void LampConsoleTest::TearDown()
{
    stopServing();
    const std::string written = console->text();
    console.reset();
    if (HasFailure())
        std::fprintf(stderr, "--- output ---\n%s---\n", written.c_str());
}

} // namespace Norvik::Testing

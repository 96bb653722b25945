#include "tests/light/LightTestSupport.h"

#include "portaccess/simulated/ChipState.h"
#include "portaccess/simulated/LampSimState.h"
#include "tests/support/Files.h"
#include "tests/support/ServiceLamp.h"
#include "tests/support/Wait.h"
#include "utils/logging/ConsoleWriter.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <stdexcept>

namespace Norvik::Testing {

TestLamp::TestLamp() : path(dir.file("lampsim.state"))
{
    setenv("LAMPSIM_STATE", path.c_str(), 1);
    state = std::make_unique<LampSim::StateFile>(path);
}

TestLamp::~TestLamp() = default;

bool TestLamp::Colours::operator==(const Colours& other) const
{
    return red == other.red && green == other.green && blue == other.blue;
}

TestLamp::Colours TestLamp::colours() const
{
    auto lit = [this](const TestSupport::LampWire& wire) { return (state->readByte(wire.port) & wire.bit) == 0; };
    const auto& [red, green, blue] = TestSupport::serviceLampWires;
    return {lit(red), lit(green), lit(blue)};
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
    return TestSupport::readFile(path);
}

std::vector<std::string> CapturedStdout::lines() const
{
    return TestSupport::lines(text());
}

bool CapturedStdout::waitForLine(const std::string& line) const
{
    return TestSupport::waitUntil([&] { return TestSupport::hasLine(text(), line); }, std::chrono::seconds(5),
                                  std::chrono::milliseconds(5));
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

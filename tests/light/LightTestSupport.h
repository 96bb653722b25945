#pragma once

#include "light/Server.h"
#include "tests/support/Contract.h"
#include "tests/support/TcpClient.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace LampSim {
class StateFile;
}

namespace Norvik::Testing {

// A simulated chip of the test's own: LAMPSIM_STATE names a fresh file for this process.
class TestLamp {
public:
    TestLamp();
    ~TestLamp();

    struct Colours {
        bool red, green, blue;
        bool operator==(const Colours& other) const;
    };
    Colours colours() const;
    std::uint64_t accessCount() const;
    bool chipLocked() const;

private:
    TestSupport::TempDir dir;
    std::string path;
    std::unique_ptr<LampSim::StateFile> state;
};

std::ostream& operator<<(std::ostream& out, const TestLamp::Colours& colours);

// Standard output of this process, diverted into a file while the object lives.
class CapturedStdout {
public:
    CapturedStdout();
    ~CapturedStdout();
    std::string text() const;
    std::vector<std::string> lines() const;
    // Waits (up to 5 s) until a line equal to line has been written.
    bool waitForLine(const std::string& line) const;

private:
    TestSupport::TempDir dir;
    std::string path;
    int savedStdout;
};

// A test with a simulated chip of its own and this process's standard output captured; what was
// written is shown when the test failed. A fixture that serves the lamp ends that in stopServing,
// before the output is read.
class LampConsoleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual void stopServing() {}

    std::unique_ptr<TestLamp> lamp;
    std::unique_ptr<CapturedStdout> console;
};

using TestSupport::TcpClient;

using TestSupport::freeTcpPort;

using Contract::failureAnswer;
using Contract::successAnswer;

// A request server on a free port over the test's own lamp.
class LampServerTest : public LampConsoleTest {
protected:
    void SetUp() override
    {
        LampConsoleTest::SetUp();
        server = std::make_unique<Server>(port);
    }

    void stopServing() override { server.reset(); }

    unsigned short port = freeTcpPort();
    std::unique_ptr<Server> server;
};

} // namespace Norvik::Testing

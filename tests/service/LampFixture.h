#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/service/LampEvents.h"
#include "tests/service/TestSupport.h"

#include <gtest/gtest.h>

namespace ServiceTests {

constexpr int servicePort = 48888;
const std::string startedLine = "Light Velk77 service has started on the port 48888\n";
using Contract::successAnswer;

// A run of the program on a simulated chip of its own.
class LampFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(TcpClient(servicePort).connected()) << "port 48888 is taken by another program";
    }

    ChildOptions options(std::vector<std::string> arguments) const
    {
        ChildOptions result;
        result.arguments = std::move(arguments);
        result.environment = {{"LAMPSIM_STATE", statePath()}, {"XDG_DATA_HOME", scratch.path()}};
        // Under the sanitizers dlopen is wrapped and the lamp library's own $ORIGIN no longer
        // finds the port-access module beside it; the search path does, as Windows searches the
        // program's directory.
        const std::string program = programPath();
        result.environment.push_back({"LD_LIBRARY_PATH", program.substr(0, program.rfind('/'))});
        return result;
    }

    std::string statePath() const { return scratch.file("lamp.state"); }
    std::vector<LampSim::Access> accesses() const { return LampSim::StateFile(statePath()).accesses(); }
    std::vector<std::string> events() const { return lampEvents(accesses()); }
    std::string state() const { return lampState(LampSim::StateFile(statePath())); }

    TempDirectory scratch;
};

} // namespace ServiceTests

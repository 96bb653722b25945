#pragma once

#include "tests/service/LampEvents.h"
#include "tests/service/TestSupport.h"
#include "tests/support/ServiceTest.h"

namespace ServiceTests {

using TestSupport::servicePort;
const std::string startedLine = std::string(Contract::serviceStarted) + "\n";
using Contract::successAnswer;

// A run of the program on a simulated chip of its own.
class LampFixture : public TestSupport::ServiceTest {
protected:
    std::vector<LampSim::Access> accesses() const { return LampSim::StateFile(statePath()).accesses(); }
    std::vector<std::string> events() const { return lampEvents(accesses()); }
    std::string state() const { return lampState(LampSim::StateFile(statePath())); }

    // Signals the program and expects a clean end: status 0, the last line on the console (when
    // named) and the lamp connection closed.
    void expectCleanStop(ChildProcess& child, int signal, const char* lastLine = nullptr) const
    {
        child.signal(signal);
        EXPECT_EQ(0, child.wait(10000)) << child.output();
        if (lastLine != nullptr) {
            EXPECT_NE(std::string::npos, child.output().find(lastLine)) << child.output();
        }
        EXPECT_TRUE(endsWithLock(accesses())) << "the lamp connection was not closed";
    }
};

} // namespace ServiceTests

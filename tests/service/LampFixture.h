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
};

} // namespace ServiceTests

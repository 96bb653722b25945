#pragma once

#include "portaccess/simulated/LampSimState.h"

#include <string>
#include <vector>

namespace ServiceTests {

// What the accesses of the simulated chip did to the lamp of type 6 (the service's lamp), read
// back from the chip's access log: "red on", "blue off", ... in the order they happened.
std::vector<std::string> lampEvents(const std::vector<LampSim::Access>& accesses);

// "red=on green=off blue=off" from the chip's output ports.
std::string lampState(const LampSim::StateFile& chip);

// The chip was locked again by the last two accesses (0x02 to 0x2E, then 0x02 to 0x2F).
bool endsWithLock(const std::vector<LampSim::Access>& accesses);

} // namespace ServiceTests

#include "tests/service/LampEvents.h"

#include "tests/support/ServiceLamp.h"

#include <cstdint>
#include <map>

namespace ServiceTests {

std::vector<std::string> lampEvents(const std::vector<LampSim::Access>& accesses)
{
    std::vector<std::string> events;
    std::map<std::uint16_t, std::uint32_t> lastRead;
    for (const LampSim::Access& access : accesses) {
        if (access.width != 1)
            continue;
        if (access.kind == LampSim::Access::Read) {
            lastRead[access.port] = access.value;
            continue;
        }
        const auto read = lastRead.find(access.port);
        if (read == lastRead.end())
            continue;
        for (const TestSupport::LampWire& wire : TestSupport::serviceLampWires) {
            if (wire.port == access.port && ((read->second ^ access.value) & wire.bit))
                events.push_back(std::string(wire.colour) + ((access.value & wire.bit) ? " off" : " on"));
        }
    }
    return events;
}

std::string lampState(const LampSim::StateFile& chip)
{
    std::string state;
    for (const TestSupport::LampWire& wire : TestSupport::serviceLampWires) {
        if (!state.empty())
            state += " ";
        state += std::string(wire.colour) + ((chip.readByte(wire.port) & wire.bit) ? "=off" : "=on");
    }
    return state;
}

bool endsWithLock(const std::vector<LampSim::Access>& accesses)
{
    const size_t n = accesses.size();
    if (n < 2)
        return false;
    const LampSim::Access index{LampSim::Access::Write, 1, 0x2E, 0x02};
    const LampSim::Access data{LampSim::Access::Write, 1, 0x2F, 0x02};
    return accesses[n - 2] == index && accesses[n - 1] == data;
}

} // namespace ServiceTests

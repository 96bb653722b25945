#pragma once

#include <cstdint>

namespace TestSupport {

// The service's lamp, type 6: each colour is one bit of an output port, lit while the bit is clear.
struct LampWire {
    const char* colour;
    std::uint16_t port;
    std::uint8_t bit;
};
inline constexpr LampWire serviceLampWires[] = {{"red", 0xA09, 0x08}, {"green", 0xA04, 0x10}, {"blue", 0xA02, 0x80}};

} // namespace TestSupport

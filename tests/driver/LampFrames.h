#pragma once
// What the serial lamp types send, the same on every platform: Modbus RTU write-single-coil
// frames to unit 254 (types 3 and 5) and type 4's state byte.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace DriverTest {

using Bytes = std::vector<std::uint8_t>;

inline const Bytes Coil0On = {0xFE, 0x05, 0x00, 0x00, 0xFF, 0x00, 0x98, 0x35};
inline const Bytes Coil0Off = {0xFE, 0x05, 0x00, 0x00, 0x00, 0x00, 0xD9, 0xC5};
inline const Bytes Coil1On = {0xFE, 0x05, 0x00, 0x01, 0xFF, 0x00, 0xC9, 0xF5};
inline const Bytes Coil1Off = {0xFE, 0x05, 0x00, 0x01, 0x00, 0x00, 0x88, 0x05};
inline const Bytes Coil2On = {0xFE, 0x05, 0x00, 0x02, 0xFF, 0x00, 0x39, 0xF5};
inline const Bytes Coil2Off = {0xFE, 0x05, 0x00, 0x02, 0x00, 0x00, 0x78, 0x05};

// "FE 05 00 ..."
inline std::string hex(const Bytes& bytes)
{
    std::string text;
    char byte[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%s%02X", text.empty() ? "" : " ", b);
        text += byte;
    }
    return text;
}

} // namespace DriverTest

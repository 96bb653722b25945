#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Norvik::Tools {

// The hardware port-access module, used for reading only.
class PortModule {
public:
    virtual ~PortModule() = default;

    // InitializeOls: false when the process may not access I/O ports.
    virtual bool initialize() = 0;
    virtual std::uint8_t readByte(std::uint16_t port) = 0;
    virtual std::uint32_t readDword(std::uint16_t port) = 0;

    // Loads the module file and binds its read entry points; raises std::runtime_error.
    static std::unique_ptr<PortModule> open(const std::string& path);
    // What to tell the user when initialize() refused.
    static std::string refusalText();
    // Whether the lamp is read through the module when no chip state file is named: on Windows
    // the module beside the program is the one the driver uses.
    static bool readsByDefault();
    // Where an installed or freshly built hardware module lies, relative to this program.
    static std::vector<std::string> defaultPaths();
};

} // namespace Norvik::Tools

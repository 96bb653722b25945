#pragma once

#include "lampdriver/LampWiring.h"
#include "tools/lampview/ViewOptions.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace LampSim {
class StateFile;
}

namespace Norvik::Tools {

class PortModule;

struct Lamp {
    bool red, green, blue;
    bool operator!=(const Lamp& other) const { return red != other.red || green != other.green || blue != other.blue; }
};

// The process may not read I/O ports; the text says what to do about it.
class PortRefusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The lamp as its output registers show it: in the simulated chip's state file, or with
// --hardware in the real ports through the port-access module. Reads only.
class LampReader {
public:
    // Raises std::runtime_error, PortRefusal when the module refuses port access.
    LampReader(const ViewOptions& options, const BrillLamp::LampWiring& wiring);
    ~LampReader();
    LampReader(const LampReader&) = delete;
    LampReader& operator=(const LampReader&) = delete;

    Lamp read() const;
    // The state file or the module the lamp is read through.
    const std::string& source() const { return sourcePath; }

private:
    std::uint32_t readPort(unsigned width, std::uint16_t port) const;

    const BrillLamp::LampWiring& wiring;
    std::string sourcePath;
    std::unique_ptr<LampSim::StateFile> chip;
    std::unique_ptr<PortModule> module;
};

} // namespace Norvik::Tools

#include "tools/lampview/LampReader.h"

#include "portaccess/simulated/LampSimState.h"
#include "tools/lampview/PortModule.h"

#include <sys/stat.h>

namespace Norvik::Tools {

namespace {

bool isFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFREG;
}

// The module named on the command line, else the first installed one.
std::string findModule(const std::string& named)
{
    if (!named.empty())
        return named;
    std::string tried;
    for (const std::string& candidate : PortModule::defaultPaths()) {
        if (isFile(candidate))
            return candidate;
        tried += " " + candidate;
    }
    throw std::runtime_error("no port-access module found (looked for" + tried + "); give --module PATH");
}

} // namespace

LampReader::LampReader(const ViewOptions& options, const BrillLamp::LampWiring& wiring) : wiring(wiring)
{
    const bool hardware = options.hardware || (options.statePath.empty() && PortModule::readsByDefault());
    if (hardware) {
        sourcePath = findModule(options.modulePath);
        module = PortModule::open(sourcePath);
        if (!module->initialize())
            throw PortRefusal(PortModule::refusalText());
    } else {
        sourcePath = options.statePath.empty() ? LampSim::StateFile::defaultPath() : options.statePath;
        chip = std::make_unique<LampSim::StateFile>(sourcePath);
    }
}

LampReader::~LampReader() = default;

std::uint32_t LampReader::readPort(unsigned width, std::uint16_t port) const
{
    if (module)
        return width == 4 ? module->readDword(port) : module->readByte(port);
    return width == 4 ? chip->readDword(port) : chip->readByte(port);
}

Lamp LampReader::read() const
{
    auto lit = [this](const BrillLamp::LampOutput& out) {
        return BrillLamp::outputLit(wiring, out, readPort(wiring.width, out.port));
    };
    return {lit(wiring.red), lit(wiring.green), lit(wiring.blue)};
}

} // namespace Norvik::Tools

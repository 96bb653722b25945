#if !defined(_WIN32)

#include "tools/lampview/PortModule.h"

#include "utils/loader/ProgramPath.h"

#include <unistd.h>

namespace Norvik::Tools {

std::string PortModule::refusalText()
{
    if (::geteuid() == 0)
        return "no permission to read I/O ports: this process lacks CAP_SYS_RAWIO (a container or a "
               "kernel in lockdown refuses port access even to root)";
    return "no permission to read I/O ports: run it as root (it needs CAP_SYS_RAWIO)";
}

bool PortModule::readsByDefault()
{
    return false;
}

std::vector<std::string> PortModule::defaultPaths()
{
    const std::string dir = programDirectory();
    if (dir.empty())
        return {};
    // Never the bare name: beside this program in the build tree lies the simulated module.
    return {dir + "hardware/libWinRing0.so", dir + "../lib/lightservice/libWinRing0.so"};
}

} // namespace Norvik::Tools

#endif

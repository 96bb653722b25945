#if defined(_WIN32)

#include "tools/lampview/PortModule.h"

#include "utils/loader/ProgramPath.h"

namespace Norvik::Tools {

std::string PortModule::refusalText()
{
    return "no permission to read I/O ports: the port-access driver did not start (run it as administrator; "
           "if Microsoft Defender blocked or quarantined WinRing0, see the README)";
}

bool PortModule::readsByDefault()
{
    return true;
}

std::vector<std::string> PortModule::defaultPaths()
{
    const std::string dir = programDirectory();
    if (dir.empty())
        return {};
    return {dir + "WinRing0.dll"};
}

} // namespace Norvik::Tools

#endif

#if defined(_WIN32)

#include "lampdriver/PortAccessModule.h"

namespace BrillLamp {

// The bare name alone, in the Windows search order, which already looks beside the program.
void* loadBesideDriver(const std::string&)
{
    return nullptr;
}

} // namespace BrillLamp

#endif

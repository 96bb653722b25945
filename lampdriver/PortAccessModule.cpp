#include "lampdriver/PortAccessModule.h"

#include "utils/loader/SharedLibrary.h"

namespace BrillLamp {

void* loadPortAccessModule()
{
    const std::string name = Norvik::SharedLibrary::fileName("WinRing0");
    void* module = Norvik::SharedLibrary::openFile(name);
    return module ? module : loadBesideDriver(name);
}

EntryPoint findEntryPoint(void* module, const char* name)
{
    return Norvik::SharedLibrary::entryPoint<EntryPoint>(
        static_cast<Norvik::SharedLibrary::Handle>(module), name);
}

#if defined(_WIN32)
// The bare name alone, in the Windows search order, which already looks beside the program.
void* loadBesideDriver(const std::string&)
{
    return nullptr;
}
#endif

} // namespace BrillLamp

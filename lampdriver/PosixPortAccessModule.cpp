#if !defined(_WIN32)

#include "PortAccessModule.h"

#include <cstring>
#include <dlfcn.h>
#include <string>

namespace BrillLamp {

namespace {

constexpr const char* ModuleName = "libWinRing0.so";

// The bare name finds the module beside the driver through the driver's own RUNPATH, but only
// when the dynamic loader sees the driver as the caller; an interposed dlopen (sanitizer
// runtimes) hides it. Then the directory beside the driver is tried by path.
void* loadBesideDriver()
{
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&loadBesideDriver), &self) == 0 || !self.dli_fname)
        return nullptr;
    const std::string driver = self.dli_fname;
    const auto slash = driver.rfind('/');
    if (slash == std::string::npos)
        return nullptr;
    return ::dlopen((driver.substr(0, slash + 1) + ModuleName).c_str(), RTLD_NOW);
}

} // namespace

void* loadPortAccessModule()
{
    void* module = ::dlopen(ModuleName, RTLD_NOW);
    return module ? module : loadBesideDriver();
}

EntryPoint findEntryPoint(void* module, const char* name)
{
    void* address = ::dlsym(module, name);
    EntryPoint entry = nullptr;
    static_assert(sizeof entry == sizeof address, "function and object pointers differ");
    std::memcpy(&entry, &address, sizeof entry);
    return entry;
}

} // namespace BrillLamp

#endif

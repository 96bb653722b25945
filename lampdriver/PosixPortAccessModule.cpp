#if !defined(_WIN32)

#include "lampdriver/PortAccessModule.h"

#include "utils/loader/SharedLibrary.h"

namespace BrillLamp {

// The bare name finds the module beside the driver through the driver's own RUNPATH, but only
// when the dynamic loader sees the driver as the caller; an interposed dlopen (sanitizer
// runtimes) hides it. Then the directory beside the driver is tried by path.
void* loadBesideDriver(const std::string& fileName)
{
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&loadBesideDriver), &self) == 0 || !self.dli_fname)
        return nullptr;
    const std::string driver = self.dli_fname;
    const auto slash = driver.rfind('/');
    if (slash == std::string::npos)
        return nullptr;
    return Norvik::SharedLibrary::openFile(driver.substr(0, slash + 1) + fileName);
}

} // namespace BrillLamp

#endif

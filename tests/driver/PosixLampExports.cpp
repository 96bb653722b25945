#if !defined(_WIN32)
#include "tests/driver/DriverTestSupport.h"
#include "tests/driver/LampExports.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace DriverTest {

void* LampExports::open()
{
    void* library = ::dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        throw std::runtime_error(std::string("dlopen: ") + ::dlerror());
    return library;
}

void* LampExports::bind(const char* name) const
{
    return ::dlsym(module, name);
}

} // namespace DriverTest
#endif

#pragma once

// Loading shared libraries at run time, header only so that every deliverable compiles its own
// copy (the lamp driver links nothing of the system's own). The platform's part is in
// PosixSharedLibrary.h and WindowsSharedLibrary.h.
#if defined(_WIN32)
#include "utils/loader/WindowsSharedLibrary.h"
#else
#include "utils/loader/PosixSharedLibrary.h"
#endif

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace Norvik::SharedLibrary {

// An entry point as the function type the caller expects; null when the library lacks it.
template <typename Function>
Function entryPoint(Handle library, const char* name)
{
    void* address = findAddress(library, name);
    Function function = nullptr;
    static_assert(sizeof function == sizeof address, "function and object pointers differ");
    std::memcpy(&function, &address, sizeof function);
    return function;
}

// A library owned for the lifetime of the object.
class Library {
public:
    // Raises std::runtime_error with the system's reason when the file cannot be loaded.
    explicit Library(const std::string& utf8Path) : path(utf8Path), handle(openFile(utf8Path))
    {
        if (!handle)
            throw std::runtime_error("cannot load " + path + ": " + failureText());
    }
    ~Library()
    {
        if (handle)
            closeFile(handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Raises std::runtime_error when the library lacks the entry point.
    template <typename Function>
    Function require(const char* name) const
    {
        const Function function = entryPoint<Function>(handle, name);
        if (!function)
            throw std::runtime_error(path + " has no entry point " + name);
        return function;
    }

private:
    std::string path;
    Handle handle;
};

} // namespace Norvik::SharedLibrary

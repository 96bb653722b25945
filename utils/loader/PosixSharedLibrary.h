#pragma once

#include <dlfcn.h>

#include <string>

namespace Norvik::SharedLibrary {

using Handle = void*;

// "WinRing0" -> "libWinRing0.so".
inline std::string fileName(const std::string& baseName)
{
    return "lib" + baseName + ".so";
}

// Null on failure; failureText tells why until the next call into the loader.
inline Handle openFile(const std::string& utf8Path)
{
    return ::dlopen(utf8Path.c_str(), RTLD_NOW);
}

inline void closeFile(Handle library)
{
    ::dlclose(library);
}

inline void* findAddress(Handle library, const char* name)
{
    return ::dlsym(library, name);
}

// dlopen looks for a bare name only in the folders the system's loader is configured with, never
// in PATH or the current folder: nothing to restrict.
inline bool restrictSearch()
{
    return true;
}

// The loader forgets its text once it is read.
inline std::string failureText()
{
    const char* error = ::dlerror();
    return error ? error : "unknown error";
}

} // namespace Norvik::SharedLibrary

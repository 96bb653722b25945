#if !defined(_WIN32)

#include "Module.h"

#include "StringUtils.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Norvik::Utils::Module {

const path::Type nativePathType = path::Posix;
const int pathCharset = StringUtils::Utf8;

namespace {

// dlerror() forgets its text once read; keep it like the thread's last error.
thread_local std::wstring lastError;

// Like the Windows loader, a bare name is looked for beside the program first. RUNPATH $ORIGIN
// alone does not do it: sanitizer runtimes wrap dlopen, and the wrapper's own search path applies.
std::string besideProgram(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos) {
        return name;
    }
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) {
        return name;
    }
    std::string candidate(program, static_cast<std::size_t>(length));
    candidate = candidate.substr(0, candidate.rfind('/') + 1) + name;
    struct stat status {};
    return stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? candidate : name;
}

} // namespace

std::wstring libraryFileName(const std::wstring& baseName)
{
    return L"lib" + baseName + L".so";
}

void* open(const std::wstring& filePath)
{
    const std::string text = besideProgram(StringUtils::toNarrow(filePath, pathCharset));
    dlerror();
    void* handle = dlopen(text.c_str(), RTLD_NOW);
    if (handle == nullptr) {
        const char* error = dlerror();
        lastError = error != nullptr ? StringUtils::toWide(error, StringUtils::Utf8) : std::wstring();
    }
    return handle;
}

void close(void* handle)
{
    dlclose(handle);
}

void* symbol(void* handle, const char* name)
{
    return dlsym(handle, name);
}

bool isMissing(const std::wstring& filePath)
{
    struct stat status {};
    if (stat(StringUtils::toNarrow(filePath, pathCharset).c_str(), &status) == 0) {
        return false;
    }
    lastError = StringUtils::getSystemErrorText(static_cast<unsigned long>(errno));
    return true;
}

std::wstring lastErrorText()
{
    return lastError;
}

} // namespace Norvik::Utils::Module

#endif

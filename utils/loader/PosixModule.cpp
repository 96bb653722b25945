#if !defined(_WIN32)

#include "utils/loader/Module.h"

#include "utils/loader/ProgramPath.h"
#include "utils/loader/SharedLibrary.h"
#include "utils/text/StringUtils.h"

#include <sys/stat.h>

#include <cerrno>

namespace Norvik::Utils::Module {

const path::Type nativePathType = path::Posix;
const int pathCharset = StringUtils::Utf8;

namespace {

// The loader forgets its text once read; keep it like the thread's last error.
thread_local std::wstring lastError;

// Like the Windows loader, a bare name is looked for beside the program first. RUNPATH $ORIGIN
// alone does not do it: sanitizer runtimes wrap dlopen, and the wrapper's own search path applies.
std::string besideProgram(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos) {
        return name;
    }
    const std::string directory = programDirectory();
    if (directory.empty()) {
        return name;
    }
    const std::string candidate = directory + name;
    struct stat status {};
    return stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? candidate : name;
}

} // namespace

std::wstring libraryFileName(const std::wstring& baseName)
{
    return StringUtils::toWide(SharedLibrary::fileName(StringUtils::toNarrow(baseName, StringUtils::Utf8)),
                               StringUtils::Utf8);
}

void* open(const std::wstring& filePath)
{
    void* handle = SharedLibrary::openFile(besideProgram(StringUtils::toNarrow(filePath, pathCharset)));
    if (handle == nullptr) {
        lastError = StringUtils::toWide(SharedLibrary::failureText(), StringUtils::Utf8);
    }
    return handle;
}

void close(void* handle)
{
    SharedLibrary::closeFile(handle);
}

void* symbol(void* handle, const char* name)
{
    return SharedLibrary::findAddress(handle, name);
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

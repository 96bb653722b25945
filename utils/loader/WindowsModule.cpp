#if defined(_WIN32)

#include "utils/loader/Module.h"

#include "utils/loader/SharedLibrary.h"
#include "utils/text/StringUtils.h"

namespace Norvik::Utils::Module {

const path::Type nativePathType = path::Windows;
const int pathCharset = StringUtils::Cp1251;

namespace {

// Read right after the failing call, before logging can overwrite the thread's last error.
thread_local DWORD lastError = ERROR_SUCCESS;

// No "insert disk" or "cannot find" boxes while a candidate is tried.
const UINT quietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;

} // namespace

std::wstring libraryFileName(const std::wstring& baseName)
{
    return StringUtils::toWide(SharedLibrary::fileName(StringUtils::toNarrow(baseName, StringUtils::Utf8)),
                               StringUtils::Utf8);
}

void* open(const std::wstring& filePath)
{
    const UINT previousMode = SetErrorMode(quietErrorMode);
    const HMODULE module = SharedLibrary::openWide(filePath);
    lastError = GetLastError();
    SetErrorMode(previousMode);
    return module;
}

void close(void* handle)
{
    SharedLibrary::closeFile(static_cast<HMODULE>(handle));
}

void* symbol(void* handle, const char* name)
{
    return SharedLibrary::findAddress(static_cast<HMODULE>(handle), name);
}

bool isMissing(const std::wstring& filePath)
{
    if (GetFileAttributesW(filePath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    lastError = GetLastError();
    return true;
}

std::wstring lastErrorText()
{
    return StringUtils::getSystemErrorText(lastError, 0);
}

} // namespace Norvik::Utils::Module

#endif

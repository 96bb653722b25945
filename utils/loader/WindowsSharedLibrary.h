#pragma once

#include "utils/text/WindowsErrorText.h"
#include "utils/text/WindowsUtf16.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace Norvik::SharedLibrary {

using Handle = HMODULE;

// "WinRing0" -> "WinRing0.dll".
inline std::string fileName(const std::string& baseName)
{
    return baseName + ".dll";
}

// Null on failure, with the reason left as the thread's last error.
inline Handle openWide(const std::wstring& path)
{
    return ::LoadLibraryW(path.c_str());
}

inline Handle openFile(const std::string& utf8Path)
{
    return openWide(Utils::WindowsText::toUtf16(utf8Path));
}

inline void closeFile(Handle library)
{
    ::FreeLibrary(library);
}

inline void* findAddress(Handle library, const char* name)
{
    const FARPROC procedure = ::GetProcAddress(library, name);
    void* address = nullptr;
    static_assert(sizeof address == sizeof procedure, "entry points must fit a data pointer");
    std::memcpy(&address, &procedure, sizeof address);
    return address;
}

// Bare names of libraries loaded at run time, by this process and by the libraries it loads,
// are looked for beside the program and in System32 only: not in the current folder, nor in the
// folders on PATH, which others may write to. Called first thing in main. False where the system
// lacks the call (Windows 7 without update KB2533623): then only the current folder is left out.
inline bool restrictSearch()
{
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    void* address = findAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    SetDirectories setDirectories = nullptr;
    std::memcpy(&setDirectories, &address, sizeof setDirectories);
    if (setDirectories && setDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    ::SetDllDirectoryW(L"");
    return false;
}

// The system's text for the thread's last error, in UTF-8.
inline std::string failureText()
{
    const DWORD error = ::GetLastError();
    const std::wstring text = Utils::WindowsText::systemErrorText(error);
    return text.empty() ? "error " + std::to_string(error) : Utils::WindowsText::fromUtf16(text);
}

} // namespace Norvik::SharedLibrary

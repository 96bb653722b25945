#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace Norvik::SharedLibrary {

using Handle = HMODULE;

// "WinRing0" -> "WinRing0.dll".
inline std::string fileName(const std::string& baseName)
{
    return baseName + ".dll";
}

inline std::wstring widePath(const std::string& utf8Path)
{
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8Path.data(), static_cast<int>(utf8Path.size()), nullptr, 0);
    std::wstring path(static_cast<std::size_t>(length), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8Path.data(), static_cast<int>(utf8Path.size()), &path[0], length);
    return path;
}

// Null on failure, with the reason left as the thread's last error.
inline Handle openWide(const std::wstring& path)
{
    return ::LoadLibraryW(path.c_str());
}

inline Handle openFile(const std::string& utf8Path)
{
    return openWide(widePath(utf8Path));
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
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring wide = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(error);
    ::LocalFree(buffer);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r'))
        wide.pop_back();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), size, nullptr, nullptr);
    return text.data();
}

} // namespace Norvik::SharedLibrary

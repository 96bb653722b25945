#if defined(_WIN32)

#include "portaccess/simulated/MappedFile.h"

#include "utils/handle/WindowsHandle.h"

#include <stdexcept>
#include <windows.h>

namespace LampSim {

namespace {

std::runtime_error failure(const std::string& what, const std::string& path)
{
    return std::runtime_error(what + " " + path + ": error " + std::to_string(GetLastError()));
}

class WindowsMappedFile : public MappedFile {
public:
    WindowsMappedFile(const std::string& path, std::size_t size)
        : file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr)),
          length(size)
    {
        if (!file)
            throw failure("cannot open", path);
        mapping.reset(CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0,
                                         static_cast<DWORD>(size), nullptr));
        if (!mapping)
            throw failure("cannot map", path);
        memory = MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, size);
        if (!memory)
            throw failure("cannot view", path);
    }

    ~WindowsMappedFile() override { UnmapViewOfFile(memory); }

    void* data() const override { return memory; }
    void lock() override
    {
        OVERLAPPED whole{};
        LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, static_cast<DWORD>(length), 0, &whole);
    }
    void unlock() override
    {
        OVERLAPPED whole{};
        UnlockFileEx(file.get(), 0, static_cast<DWORD>(length), 0, &whole);
    }

private:
    Norvik::Utils::UniqueHandle file;
    Norvik::Utils::UniqueHandle mapping;
    std::size_t length;
    void* memory = nullptr;
};

} // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::string& path, std::size_t size)
{
    return std::make_unique<WindowsMappedFile>(path, size);
}

// Beside the module that holds this code: the simulated WinRing0.dll in the service's folder
// and the programs beside it then share one chip, whichever account runs them (a temporary
// folder differs between the LocalSystem service and a logged-on user).
std::string MappedFile::defaultPath()
{
    static const char anchor = 0;
    HMODULE module = nullptr;
    char file[MAX_PATH + 1] = {};
    DWORD n = 0;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           &anchor, &module))
        n = GetModuleFileNameA(module, file, MAX_PATH);
    std::string folder(file, n > 0 && n < MAX_PATH ? n : 0);
    const std::size_t slash = folder.find_last_of("\\/");
    folder.erase(slash == std::string::npos ? 0 : slash + 1);
    return folder + "lampsim.state";
}

} // namespace LampSim

#endif

#if defined(_WIN32)

#include "MappedFile.h"

#include <stdexcept>
#include <windows.h>

namespace LampSim {

namespace {

std::runtime_error failure(const std::string& what, const std::string& path)
{
    return std::runtime_error(what + " " + path + ": error " + std::to_string(GetLastError()));
}

struct Handle {
    HANDLE value;
    explicit Handle(HANDLE h) : value(h) {}
    ~Handle()
    {
        if (value && value != INVALID_HANDLE_VALUE)
            CloseHandle(value);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

class WindowsMappedFile : public MappedFile {
public:
    WindowsMappedFile(const std::string& path, std::size_t size)
        : file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr)),
          mapping(nullptr), length(size)
    {
        if (file.value == INVALID_HANDLE_VALUE)
            throw failure("cannot open", path);
        mapping.value = CreateFileMappingW(file.value, nullptr, PAGE_READWRITE, 0,
                                           static_cast<DWORD>(size), nullptr);
        if (!mapping.value)
            throw failure("cannot map", path);
        memory = MapViewOfFile(mapping.value, FILE_MAP_ALL_ACCESS, 0, 0, size);
        if (!memory)
            throw failure("cannot view", path);
    }

    ~WindowsMappedFile() override { UnmapViewOfFile(memory); }

    void* data() const override { return memory; }
    void lock() override
    {
        OVERLAPPED whole{};
        LockFileEx(file.value, LOCKFILE_EXCLUSIVE_LOCK, 0, static_cast<DWORD>(length), 0, &whole);
    }
    void unlock() override
    {
        OVERLAPPED whole{};
        UnlockFileEx(file.value, 0, static_cast<DWORD>(length), 0, &whole);
    }

private:
    Handle file;
    Handle mapping;
    std::size_t length;
    void* memory = nullptr;
};

} // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::string& path, std::size_t size)
{
    return std::make_unique<WindowsMappedFile>(path, size);
}

std::string MappedFile::defaultPath()
{
    char folder[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(sizeof folder, folder);
    return std::string(folder, n > 0 && n < sizeof folder ? n : 0) + "lampsim.state";
}

} // namespace LampSim

#endif

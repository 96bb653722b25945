#if defined(_WIN32)

#include "PortModule.h"

#include "OlsFunctions.h"

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <type_traits>

namespace Norvik::Tools {

namespace {

std::wstring wide(const std::string& text)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

std::string errorText(DWORD error)
{
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length ? std::string(buffer, length) : "error " + std::to_string(error);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

struct ModuleCloser {
    void operator()(HMODULE handle) const { ::FreeLibrary(handle); }
};

template <typename Function>
Function bind(HMODULE handle, const char* name, const std::string& path)
{
    const FARPROC address = ::GetProcAddress(handle, name);
    if (!address)
        throw std::runtime_error(path + " has no entry point " + name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

class WindowsPortModule : public PortModule {
public:
    explicit WindowsPortModule(const std::string& path) : handle(::LoadLibraryW(wide(path).c_str()))
    {
        if (!handle)
            throw std::runtime_error("cannot load " + path + ": " + errorText(::GetLastError()));
        initializeOls = bind<Ols::Bool(OLS_CALL*)()>(handle.get(), "InitializeOls", path);
        readIoPortByte = bind<Ols::Byte(OLS_CALL*)(Ols::Word)>(handle.get(), "ReadIoPortByte", path);
        readIoPortDword = bind<Ols::Dword(OLS_CALL*)(Ols::Word)>(handle.get(), "ReadIoPortDword", path);
    }

    bool initialize() override { return initializeOls() != 0; }
    std::uint8_t readByte(std::uint16_t port) override { return readIoPortByte(port); }
    std::uint32_t readDword(std::uint16_t port) override { return readIoPortDword(port); }

private:
    std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleCloser> handle;
    Ols::Bool(OLS_CALL* initializeOls)() = nullptr;
    Ols::Byte(OLS_CALL* readIoPortByte)(Ols::Word) = nullptr;
    Ols::Dword(OLS_CALL* readIoPortDword)(Ols::Word) = nullptr;
};

} // namespace

std::unique_ptr<PortModule> PortModule::open(const std::string& path)
{
    return std::make_unique<WindowsPortModule>(path);
}

std::string PortModule::refusalText()
{
    return "no permission to read I/O ports: the port-access driver did not start (run it as administrator; "
           "if Microsoft Defender blocked or quarantined WinRing0, see the README)";
}

bool PortModule::readsByDefault()
{
    return true;
}

std::vector<std::string> PortModule::defaultPaths()
{
    wchar_t program[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring dir(program, length);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    dir += L"WinRing0.dll";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, dir.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string path(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, dir.c_str(), -1, &path[0], size, nullptr, nullptr);
    path.resize(path.size() - 1);
    return {path};
}

} // namespace Norvik::Tools

#endif

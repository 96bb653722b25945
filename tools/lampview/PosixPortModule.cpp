#if !defined(_WIN32)

#include "PortModule.h"

#include "OlsFunctions.h"

#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <stdexcept>
#include <unistd.h>

namespace Norvik::Tools {

namespace {

struct ModuleCloser {
    void operator()(void* handle) const { ::dlclose(handle); }
};

template <typename Function>
Function bind(void* handle, const char* name, const std::string& path)
{
    void* address = ::dlsym(handle, name);
    if (!address)
        throw std::runtime_error(path + " has no entry point " + name);
    Function function = nullptr;
    static_assert(sizeof function == sizeof address, "function and object pointers differ");
    std::memcpy(&function, &address, sizeof function);
    return function;
}

class PosixPortModule : public PortModule {
public:
    explicit PosixPortModule(const std::string& path)
        : handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (!handle) {
            const char* error = ::dlerror();
            throw std::runtime_error("cannot load " + path + ": " + (error ? error : "unknown error"));
        }
        initializeOls = bind<Ols::Bool(OLS_CALL*)()>(handle.get(), "InitializeOls", path);
        readIoPortByte = bind<Ols::Byte(OLS_CALL*)(Ols::Word)>(handle.get(), "ReadIoPortByte", path);
        readIoPortDword = bind<Ols::Dword(OLS_CALL*)(Ols::Word)>(handle.get(), "ReadIoPortDword", path);
    }

    bool initialize() override { return initializeOls() != 0; }
    std::uint8_t readByte(std::uint16_t port) override { return readIoPortByte(port); }
    std::uint32_t readDword(std::uint16_t port) override { return readIoPortDword(port); }

private:
    std::unique_ptr<void, ModuleCloser> handle;
    Ols::Bool(OLS_CALL* initializeOls)() = nullptr;
    Ols::Byte(OLS_CALL* readIoPortByte)(Ols::Word) = nullptr;
    Ols::Dword(OLS_CALL* readIoPortDword)(Ols::Word) = nullptr;
};

} // namespace

std::unique_ptr<PortModule> PortModule::open(const std::string& path)
{
    return std::make_unique<PosixPortModule>(path);
}

std::string PortModule::refusalText()
{
    if (::geteuid() == 0)
        return "no permission to read I/O ports: this process lacks CAP_SYS_RAWIO (a container or a "
               "kernel in lockdown refuses port access even to root)";
    return "no permission to read I/O ports: run it as root (it needs CAP_SYS_RAWIO)";
}

bool PortModule::readsByDefault()
{
    return false;
}

std::vector<std::string> PortModule::defaultPaths()
{
    char program[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0)
        return {};
    std::string dir(program, static_cast<std::size_t>(length));
    dir.erase(dir.rfind('/') + 1);
    // Never the bare name: beside this program in the build tree lies the simulated module.
    return {dir + "hardware/libWinRing0.so", dir + "../lib/lightservice/libWinRing0.so"};
}

} // namespace Norvik::Tools

#endif

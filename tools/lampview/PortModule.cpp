#include "tools/lampview/PortModule.h"

#include "portaccess/OlsFunctions.h"
#include "utils/loader/SharedLibrary.h"

namespace Norvik::Tools {

namespace {

class LoadedPortModule : public PortModule {
public:
    explicit LoadedPortModule(const std::string& path)
        : library(path), initializeOls(library.require<Ols::Bool(OLS_CALL*)()>("InitializeOls")),
          readIoPortByte(library.require<Ols::Byte(OLS_CALL*)(Ols::Word)>("ReadIoPortByte")),
          readIoPortDword(library.require<Ols::Dword(OLS_CALL*)(Ols::Word)>("ReadIoPortDword"))
    {
    }

    bool initialize() override { return initializeOls() != 0; }
    std::uint8_t readByte(std::uint16_t port) override { return readIoPortByte(port); }
    std::uint32_t readDword(std::uint16_t port) override { return readIoPortDword(port); }

private:
    SharedLibrary::Library library;
    Ols::Bool(OLS_CALL* initializeOls)();
    Ols::Byte(OLS_CALL* readIoPortByte)(Ols::Word);
    Ols::Dword(OLS_CALL* readIoPortDword)(Ols::Word);
};

} // namespace

std::unique_ptr<PortModule> PortModule::open(const std::string& path)
{
    return std::make_unique<LoadedPortModule>(path);
}

} // namespace Norvik::Tools

#if defined(_WIN32)

#include "service/ServiceInstaller.h"

#include "service/ServiceTexts.h"
#include "utils/text/StringUtils.h"

#include <windows.h>
#include <psapi.h>

#include <string>

namespace Norvik {

namespace {

using Utils::StringUtils::Cp1251;
using Utils::StringUtils::toNarrow;

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle(handle) {}
    ~ServiceHandle()
    {
        if (handle)
            CloseServiceHandle(handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;

    SC_HANDLE get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

private:
    SC_HANDLE handle;
};

// Quoted, so that a path with blanks cannot be taken for a shorter program plus arguments.
std::string quotedProgramPath()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameExA(GetCurrentProcess(), nullptr, path, MAX_PATH);
    return "\"" + std::string(path, length) + "\"";
}

class WindowsServiceInstaller : public ServiceInstaller {
public:
    void install() override
    {
        const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
        if (!manager) {
            printLine(Texts::cantOpenManager);
            return;
        }
        const std::string program = quotedProgramPath();
        const std::string name = toNarrow(serviceName, Cp1251);
        const std::string displayName = toNarrow(serviceDisplayName, Cp1251);
        const ServiceHandle service(CreateServiceA(manager.get(), name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                                   program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service) {
            printLine(installErrorLine(GetLastError()));
            return;
        }
        // Wide, so that the text does not depend on the machine's ANSI code page.
        std::wstring description = serviceDescription;
        SERVICE_DESCRIPTIONW info{&description[0]};
        ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &info);
        printLine(Texts::installed);
    }

    void remove() override
    {
        const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) {
            printLine(Texts::cantOpenManager);
            return;
        }
        const ServiceHandle service(OpenServiceW(manager.get(), serviceName, DELETE | SERVICE_STOP));
        // A running service is not stopped: it is only marked for deletion.
        if (!service || !DeleteService(service.get())) {
            printLine(Texts::cantRemove);
            return;
        }
        printLine(Texts::removed);
    }

    void start() override
    {
        const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
        const ServiceHandle service(OpenServiceW(manager.get(), serviceName, SERVICE_START));
        if (!StartServiceW(service.get(), 0, nullptr))
            printLine(Texts::cantStart);
    }
};

} // namespace

ServiceInstaller* ServiceInstaller::create()
{
    return new WindowsServiceInstaller();
}

} // namespace Norvik

#endif

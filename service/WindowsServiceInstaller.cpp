#if defined(_WIN32)

#include "service/ServiceInstaller.h"

#include "service/ServiceTexts.h"
#include "service/WindowsEventLog.h"
#include "service/WindowsRecoveryActions.h"
#include "utils/handle/WindowsHandle.h"
#include "utils/loader/ProgramPath.h"

#include <windows.h>

#include <string>

namespace Norvik {

namespace {

using Utils::UniqueServiceHandle;

void warnUnlessDone(unsigned long error, const char* warning)
{
    if (error != ERROR_SUCCESS)
        printLine(warning + std::to_string(error) + ")");
}

class WindowsServiceInstaller : public ServiceInstaller {
public:
    void install() override
    {
        const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
        if (!manager) {
            printLine(Texts::cantOpenManager);
            return;
        }
        // Wide throughout, so that neither the folder nor the texts depend on the machine's ANSI
        // code page. Quoted, so that a path with blanks cannot be taken for a shorter program plus
        // arguments.
        const std::wstring program = programWidePath();
        const std::wstring commandLine = L"\"" + program + L"\"";
        const UniqueServiceHandle service(CreateServiceW(manager.get(), serviceName, serviceDisplayName,
                                                         SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                                         SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, commandLine.c_str(),
                                                         nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service) {
            printLine(installErrorLine(GetLastError()));
            return;
        }
        std::wstring description = serviceDescription;
        SERVICE_DESCRIPTIONW info{&description[0]};
        ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &info);
        printLine(Texts::installed);
        WindowsRecoveryActions recovery;
        warnUnlessDone(ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, recovery.config())
                           ? ERROR_SUCCESS
                           : GetLastError(),
                       Texts::recoveryActionsNotSet);
        warnUnlessDone(static_cast<unsigned long>(WindowsEventLog::registerSource(program)),
                       Texts::eventSourceNotRegistered);
    }

    void remove() override
    {
        const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) {
            printLine(Texts::cantOpenManager);
            return;
        }
        const UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName, DELETE | SERVICE_STOP));
        // A running service is not stopped: it is only marked for deletion.
        if (!service || !DeleteService(service.get())) {
            printLine(Texts::cantRemove);
            return;
        }
        // The service's entries stay in the log; the Event Viewer then shows their texts without
        // the message table.
        WindowsEventLog::removeSource();
        printLine(Texts::removed);
    }

    void start() override
    {
        const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
        const UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName, SERVICE_START));
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

#pragma once

#include <string>

namespace Norvik {

// The service's identity; the arrays are writable because the service table and the service
// control manager calls take non-const strings.
extern wchar_t serviceName[];
extern wchar_t serviceDisplayName[];
extern const std::wstring serviceDescription;

namespace Texts {
constexpr const char* administratorRequired = "This application must be running with administrator rights!";
// Followed by the system's error code and ")".
constexpr const char* administratorCheckFailed = "Error: Can't check the administrator rights (error code ";
constexpr const char* cantOpenManager = "Error: Can't open Service Control Manager";
constexpr const char* installed = "Success install service!";
constexpr const char* removed = "Success remove service!";
constexpr const char* cantRemove = "Error: Can't remove service";
constexpr const char* cantStart = "Error: Can't start service";
// Followed by the system's error code and ")"; the service is installed all the same.
constexpr const char* recoveryActionsNotSet = "Warning: Can't set the service's recovery actions (error code ";
constexpr const char* eventSourceNotRegistered = "Warning: Can't register the service's event source (error code ";
constexpr const char* stopped = "Stopped.";
constexpr const char* shutdown = "Shutdown.";
constexpr const char* finish = "FINISH";
// The service's Event Log entries (Windows).
constexpr const char* stoppedEvent = "Light Velk77 service has stopped.";
// Followed by the service's own exit code, "): " and the line that says why.
constexpr const char* startRefusedEvent = "Light Velk77 service did not start (service-specific exit code ";
// Followed by the lamp's failure text.
constexpr const char* lampNotReadyEvent =
    "The lamp could not be initialised; every request is answered with this text until the service is restarted: ";
constexpr const char* portTakenEvent = "Can't listen on port 48888";
constexpr const char* portRetryEvent =
    "Another program holds the port (netstat -ano shows which); the service tries again every second and serves "
    "requests once the port is free.";
constexpr const char* portOpenedEvent = "Port 48888 is free again: the service listens on it now.";
} // namespace Texts

// "Light Velk77 service has started on the port 48888"
std::string startedLine();

// Windows error codes of a failed service creation that have a line of their own.
enum InstallErrorCode : unsigned long {
    AccessDenied = 5,
    InvalidHandle = 6,
    InvalidParameter = 87,
    InvalidName = 123,
    InvalidServiceAccount = 1057,
    CircularDependency = 1059,
    ServiceExists = 1073,
    DuplicateServiceName = 1078,
    UndefinedInstallError = 0xFFFFFFFF
};

// The line printed when creating the service failed with this Windows error code.
const char* installErrorLine(unsigned long errorCode);

// One line on standard output, flushed at once.
void printLine(const std::string& line);

} // namespace Norvik

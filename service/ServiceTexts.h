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
constexpr const char* stopped = "Stopped.";
constexpr const char* shutdown = "Shutdown.";
constexpr const char* finish = "FINISH";
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

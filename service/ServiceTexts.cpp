#include "service/ServiceTexts.h"

#include "light/Console.h"
#include "light/Server.h"

namespace Norvik {

wchar_t serviceName[] = L"norvik-tessaro-light-velk77";
wchar_t serviceDisplayName[] = L"NORVIK Tessaro Light Velk77";
const std::wstring serviceDescription =
    L"Служба NORVIK Tessaro Light Velk77 предназначена для взаимодействия с устройством по нижнему "
    L"уровня с правами администратора";

namespace {

struct InstallError {
    unsigned long code;
    const char* line;
};

const InstallError installErrors[] = {
    {AccessDenied, "Error: ERROR_ACCESS_DENIED"},
    {InvalidHandle, "Error: ERROR_INVALID_HANDLE"},
    {InvalidParameter, "Error: ERROR_INVALID_PARAMETER"},
    {InvalidName, "Error: ERROR_INVALID_NAME"},
    {InvalidServiceAccount, "Error: ERROR_INVALID_SERVICE_ACCOUNT"},
    {CircularDependency, "Error: ERROR_CIRCULAR_DEPENDENCY"},
    {ServiceExists, "Error: ERROR_SERVICE_EXISTS"},
    {DuplicateServiceName, "Error: ERROR_DUPLICATE_SERVICE_NAME"},
};

} // namespace

std::string startedLine()
{
    return "Light Velk77 service has started on the port " + std::to_string(Server::port);
}

const char* installErrorLine(unsigned long errorCode)
{
    for (const InstallError& error : installErrors) {
        if (error.code == errorCode)
            return error.line;
    }
    return "Error: Undefined";
}

void printLine(const std::string& line)
{
    // Whole lines only: the server's connection lines come from other threads.
    Console::writeLine(line);
}

} // namespace Norvik

#if defined(_WIN32)

#include "service/WindowsEventLog.h"

#include "service/LightServiceMessages.h"
#include "service/ServiceTexts.h"

#include <windows.h>

namespace Norvik::WindowsEventLog {

namespace {

struct Entry {
    WORD type;
    DWORD id;
};

Entry entryOf(Event event)
{
    switch (event) {
    case Started:
        return {EVENTLOG_INFORMATION_TYPE, EVENT_SERVICE_STARTED};
    case Stopped:
        return {EVENTLOG_INFORMATION_TYPE, EVENT_SERVICE_STOPPED};
    case StartRefused:
        return {EVENTLOG_ERROR_TYPE, EVENT_START_REFUSED};
    case LampNotReady:
        return {EVENTLOG_ERROR_TYPE, EVENT_LAMP_NOT_READY};
    case PortTaken:
        return {EVENTLOG_WARNING_TYPE, EVENT_PORT_TAKEN};
    case PortOpened:
        break;
    }
    return {EVENTLOG_INFORMATION_TYPE, EVENT_PORT_OPENED};
}

} // namespace

void write(Event event, const std::wstring& text)
{
    const HANDLE source = RegisterEventSourceW(nullptr, serviceName);
    if (!source)
        return;
    const Entry entry = entryOf(event);
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(source, entry.type, 0, entry.id, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

std::wstring sourceKey()
{
    return std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + serviceName;
}

long registerSource(const std::wstring& programFile)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, sourceKey().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    result =
        RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(programFile.c_str()),
                       static_cast<DWORD>((programFile.size() + 1) * sizeof(wchar_t)));
    if (result == ERROR_SUCCESS)
        result =
            RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
    RegCloseKey(key);
    return result;
}

long removeSource()
{
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, sourceKey().c_str());
}

} // namespace Norvik::WindowsEventLog

#endif

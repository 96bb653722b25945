#pragma once

#if defined(_WIN32)

#include <string>

namespace Norvik::WindowsEventLog {

// The service's entries in the Application log, under the service's name as their source. The
// message table in lightservice.exe shows each entry's one text as it is.
enum Event { Started, Stopped, StartRefused, LampNotReady, PortTaken, PortOpened };

void write(Event event, const std::wstring& text);

// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\<service name>.
std::wstring sourceKey();
// The source's key with EventMessageFile (REG_EXPAND_SZ) = the program file and TypesSupported
// = 7 (error, warning, information); a Windows error code, 0 when written.
long registerSource(const std::wstring& programFile);
long removeSource();

} // namespace Norvik::WindowsEventLog

#endif

#pragma once

#if defined(_WIN32)

#include <windows.h>

namespace Norvik {

// What the service manager does when the service process ends without reporting that it stopped:
// restart it after 5 s, again after 5 s, then after a minute each time; a day without such an
// end counts the failures from the first action again. Down, the lamp answers nobody and any
// local program may take its port.
class WindowsRecoveryActions {
public:
    static constexpr DWORD firstRestartDelayMs = 5000;
    static constexpr DWORD laterRestartDelayMs = 60000;
    static constexpr DWORD resetPeriodSeconds = 86400;

    WindowsRecoveryActions();
    WindowsRecoveryActions(const WindowsRecoveryActions&) = delete;
    WindowsRecoveryActions& operator=(const WindowsRecoveryActions&) = delete;

    // For ChangeServiceConfig2W with SERVICE_CONFIG_FAILURE_ACTIONS; points into this object.
    SERVICE_FAILURE_ACTIONSW* config() { return &actions; }

private:
    SC_ACTION steps[3];
    SERVICE_FAILURE_ACTIONSW actions;
};

} // namespace Norvik

#endif

#if defined(_WIN32)

#include "service/WindowsRecoveryActions.h"

namespace Norvik {

WindowsRecoveryActions::WindowsRecoveryActions()
    : steps{{SC_ACTION_RESTART, firstRestartDelayMs},
            {SC_ACTION_RESTART, firstRestartDelayMs},
            {SC_ACTION_RESTART, laterRestartDelayMs}},
      // No reboot message and no command: those already set stay as they are.
      actions{resetPeriodSeconds, nullptr, nullptr, sizeof steps / sizeof steps[0], steps}
{
}

} // namespace Norvik

#endif

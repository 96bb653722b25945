#pragma once

// The thread class the shared threading tests derive from, in the Windows suite.
#include "utils/threading/WindowsThread.h"

using PlatformThread = Norvik::Utils::Threading::WindowsThread;

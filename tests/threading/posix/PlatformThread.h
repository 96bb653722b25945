#pragma once

// The thread class the shared threading tests derive from, in the native suite.
#include "utils/threading/PosixThread.h"

using PlatformThread = Norvik::Utils::Threading::PosixThread;

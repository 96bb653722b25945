#pragma once

// The thread class the shared threading tests derive from, in the native suite.
#include "PosixThread.h"

using PlatformThread = Norvik::Utils::Threading::PosixThread;

#pragma once

#include "ChildProcess.h"
#include "Files.h"
#include "TempDir.h"

namespace ToolTest {

using Run = TestSupport::ProgramResult;
using TestSupport::Environment;
using TestSupport::runChild;
using TestSupport::binDir;
using TestSupport::TempDir;

} // namespace ToolTest

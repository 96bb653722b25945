#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace ToolTest {

using Run = TestSupport::ProgramResult;
using TestSupport::binDir;
using TestSupport::Environment;
using TestSupport::runBuilt;
using TestSupport::runChild;
using TestSupport::TempDir;

} // namespace ToolTest

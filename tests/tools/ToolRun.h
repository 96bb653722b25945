#pragma once

#include "Files.h"
#include "ProgramRun.h"
#include "TempDir.h"

namespace ToolTest {

using Run = TestSupport::ProgramRun;
using TestSupport::Environment;
using TestSupport::run;
using TestSupport::binDir;
using TestSupport::TempDir;

} // namespace ToolTest

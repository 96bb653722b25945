#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/support/Files.h"
#include "tests/support/NotifySocket.h"
#include "tests/support/Proc.h"
#include "tests/support/TcpClient.h"
#include "tests/support/TempDir.h"

#include <string>

namespace ServiceTests {

using TestSupport::ChildOptions;
using TestSupport::ChildProcess;
using TestSupport::lines;
using TestSupport::ProgramResult;

// The program under test, built beside the lamp library and the simulated chip.
inline std::string programPath()
{
    return TestSupport::binDir() + "/lightservice";
}

// The installer's answers on the console.
inline const std::string installedLine = std::string(Contract::installed) + "\n";
inline const std::string removedLine = std::string(Contract::removed) + "\n";

// Runs the program to its end with the given input (closed afterwards). It decides its mode from
// NOTIFY_SOCKET and INVOCATION_ID: the test sets them explicitly or not at all.
inline ProgramResult runProgram(const std::string& program, ChildOptions options, const std::string& input = "",
                                int timeoutMs = 10000)
{
    options.removed.insert(options.removed.end(), {"NOTIFY_SOCKET", "INVOCATION_ID"});
    return TestSupport::runChild(program, options, input, timeoutMs);
}

using TestSupport::fileExists;
using TestSupport::readFile;
using TestSupport::TempDir;
using TestSupport::writeFile;

using TestSupport::NotifySocket;

using TestSupport::answerWithin;
using TestSupport::cpuTicks;
using TestSupport::TcpClient;
using TestSupport::waitForListener;

} // namespace ServiceTests

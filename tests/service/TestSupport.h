#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/support/Files.h"
#include "tests/support/NotifySocket.h"
#include "tests/support/TcpClient.h"
#include "tests/support/TempDir.h"

#include <string>

namespace ServiceTests {

// The program under test, built beside the lamp library and the simulated chip.
std::string programPath();

using TestSupport::ChildOptions;
using TestSupport::lines;
using TestSupport::ProgramResult;

// The installer's answers on the console.
inline const std::string installedLine = std::string(Contract::installed) + "\n";
inline const std::string removedLine = std::string(Contract::removed) + "\n";

// The program decides its mode from NOTIFY_SOCKET and INVOCATION_ID: the test sets them
// explicitly or not at all.
ChildOptions withoutModeVariables(ChildOptions options);

// The program under test as a child process, with its standard input and output on pipes.
class ChildProcess : public TestSupport::ChildProcess {
public:
    ChildProcess(const std::string& program, const ChildOptions& options)
        : TestSupport::ChildProcess(program, withoutModeVariables(options))
    {
    }
};

// Runs the program to its end with the given input (closed afterwards).
ProgramResult runProgram(const std::string& program, const ChildOptions& options, const std::string& input = "",
                         int timeoutMs = 10000);

using TempDirectory = TestSupport::TempDir;
using TestSupport::fileExists;
using TestSupport::readFile;
using TestSupport::writeFile;

using TestSupport::NotifySocket;

using TestSupport::TcpClient;
using TestSupport::waitForListener;

// Processor time the process has used so far, in clock ticks (user and system).
long cpuTicks(int pid);

} // namespace ServiceTests

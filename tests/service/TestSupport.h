#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/support/Files.h"
#include "tests/support/NotifySocket.h"
#include "tests/support/Proc.h"
#include "tests/support/TcpClient.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

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
using TestSupport::TcpClient;
using TestSupport::waitForListener;

// The CPU ticks (100 a second) the process used in the quieter of two windows of 1.2 s: a busy
// wait uses about 120 in each, while late start-up work on a loaded machine falls into one.
inline long idleTicks(pid_t pid)
{
    long quietest = 0;
    for (int window = 0; window < 2; ++window) {
        const long before = TestSupport::cpuTicks(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        const long used = TestSupport::cpuTicks(pid) - before;
        quietest = window == 0 ? used : std::min(quietest, used);
    }
    return quietest;
}

} // namespace ServiceTests

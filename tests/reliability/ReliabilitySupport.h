#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/support/Files.h"
#include "tests/support/Proc.h"
#include "tests/support/TcpClient.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

namespace Reliability {

using namespace std::chrono_literals;
using TestSupport::Environment;

using Contract::failureAnswer;
using Contract::successAnswer;

using TestSupport::answerWithin;
using TestSupport::binDir;
using TestSupport::countOf;
using TestSupport::elapsedSince;
using TestSupport::readFile;
using TestSupport::servicePort;
using TestSupport::TcpClient;
using TestSupport::TempDir;
using TestSupport::waitForFreePort;
using TestSupport::waitUntil;

// The program lightservice run as a child; its standard output and error go to options.outputFile.
class Service {
public:
    Service(const std::string& program, const TestSupport::ChildOptions& options)
        : outputPath(options.outputFile), child(program, options)
    {
        child.closeInput();
    }

    pid_t pid() const { return child.pid(); }
    void signal(int number) { child.signal(number); }
    // As ChildProcess::wait.
    int waitExit(std::chrono::milliseconds timeout) { return child.wait(static_cast<int>(timeout.count())); }
    bool running() { return child.running(); }
    std::string output() const { return readFile(outputPath); }
    // True when one of the program's own sockets listens on 127.0.0.1:port.
    bool listensOn(unsigned short port) const;
    long residentKiB() const { return TestSupport::statusField(pid(), "VmRSS"); }
    long threads() const { return TestSupport::statusField(pid(), "Threads"); }
    long descriptors() const { return TestSupport::openDescriptors(pid()); }

private:
    std::string outputPath;
    TestSupport::ChildProcess child;
};

} // namespace Reliability

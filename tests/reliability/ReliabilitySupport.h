#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/support/Files.h"
#include "tests/support/TcpClient.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

namespace Reliability {

using namespace std::chrono_literals;
using TestSupport::Environment;

using Contract::failureAnswer;
inline const std::string successAnswer{Contract::successAnswer};

using TestSupport::binDir;
using TestSupport::elapsedSince;
using TestSupport::readFile;
using TestSupport::TempDir;
using TestSupport::waitUntil;

// The service's fixed port; a test that uses it waits until no other program holds it.
constexpr unsigned short servicePort = 48888;
bool waitForFreePort(unsigned short port, std::chrono::milliseconds timeout);

// The program lightservice run as a child; its standard output and error go to a file.
class Service {
public:
    // argv[0] is the program path; env entries are added to (or, when empty, removed from) ours.
    Service(const std::vector<std::string>& argv, const Environment& env, const std::string& outputFile);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    pid_t pid() const { return child.pid(); }
    void signal(int number) { child.signal(number); }
    // As ChildProcess::wait.
    int waitExit(std::chrono::milliseconds timeout) { return child.wait(static_cast<int>(timeout.count())); }
    bool running() { return child.running(); }
    std::string output() const;
    // True when one of the program's own sockets listens on 127.0.0.1:port.
    bool listensOn(unsigned short port) const;
    // Resident memory, thread count and open descriptors from /proc.
    long residentKiB() const;
    long threads() const;
    long descriptors() const;

private:
    long statusField(const char* name) const;

    std::string outputPath;
    TestSupport::ChildProcess child;
};

using TestSupport::TcpClient;

// Sends request on fresh connections until one is answered or the timeout passes.
std::string answerWithin(unsigned short port, const std::string& request, std::chrono::milliseconds timeout);

// Raises the soft open-files limit to at least count (up to the hard limit).
void raiseOpenFilesLimit(rlim_t count);

} // namespace Reliability

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

#include "Files.h"
#include "TempDir.h"

namespace Reliability {

using namespace std::chrono_literals;
using Environment = std::map<std::string, std::string>;

extern const std::string successAnswer;
std::string failureAnswer(const std::string& log);

using TestSupport::TempDir;
using TestSupport::binDir;
using TestSupport::readFile;

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

    pid_t pid() const { return child; }
    void signal(int number) const;
    // The exit status (or 128 + signal), or -1 when it is still running after the timeout.
    int waitExit(std::chrono::milliseconds timeout);
    bool running();
    std::string output() const;
    // True when one of the program's own sockets listens on 127.0.0.1:port.
    bool listensOn(unsigned short port) const;
    // Resident memory, thread count and open descriptors from /proc.
    long residentKiB() const;
    long threads() const;
    long descriptors() const;

private:
    long statusField(const char* name) const;

    pid_t child = -1;
    std::string outputPath;
    int status = -1;
};

// One blocking loopback connection with read time-outs.
class Connection {
public:
    Connection() = default;
    explicit Connection(unsigned short port);
    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;

    bool isOpen() const { return fd >= 0; }
    bool send(const std::string& bytes);
    // The next complete answer (text up to "}\n"), or empty on time-out or end.
    std::string readAnswer(std::chrono::milliseconds timeout = 5s);
    // Everything that arrives until nothing came for the quiet period.
    std::string drain(std::chrono::milliseconds quiet);
    // True when the service's end closed (or reset) within the timeout.
    bool seesEnd(std::chrono::milliseconds timeout);
    bool ended() const { return peerEnded; }
    // Bytes received that do not (yet) form a complete answer.
    const std::string& partial() const { return pending; }
    void close();

private:
    int fd = -1;
    bool peerEnded = false;
    std::string pending;
};

// Sends request on fresh connections until one is answered or the timeout passes.
std::string answerWithin(unsigned short port, const std::string& request, std::chrono::milliseconds timeout);

// Raises the soft open-files limit to at least count (up to the hard limit).
void raiseOpenFilesLimit(rlim_t count);

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

} // namespace Reliability

#pragma once

#include "tests/driver/LampFrames.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace DriverTest {

using TestSupport::Environment;

using TestSupport::binDir;
using TestSupport::TempDir;
std::string libraryPath(); // the built libBrillLamp.so

using TestSupport::ChildProcess;

// Runs lampcall on LIBRARY with COMMANDS; returns its whole output, failing the test on a bad exit.
std::string lampCall(const std::string& library, std::vector<std::string> commands, const Environment& env);

// A pseudo-terminal pair: the driver opens the slave by its path, the test reads the master.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    const std::string& slavePath() const { return slaveName; }
    int masterFd() const { return master; }
    int slaveFd() const { return slave; }
    void closeMaster();
    // Bytes arriving at the master until COUNT have come or the timeout passes.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Whatever else arrives within a short time.
    Bytes readRest(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));

private:
    int master = -1;
    int slave = -1;
    std::string slaveName;
};

} // namespace DriverTest

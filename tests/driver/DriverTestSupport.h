#pragma once

#include "tests/driver/LampFrames.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "utils/handle/PosixDescriptor.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace DriverTest {

std::string libraryPath(); // the built libBrillLamp.so

// Runs lampcall on LIBRARY with COMMANDS; returns its whole output, failing the test on a bad exit.
std::string lampCall(std::vector<std::string> commands, const TestSupport::Environment& env,
                     const std::string& library = libraryPath());

// A pseudo-terminal pair: the driver opens the slave by its path, the test reads the master.
class Pty {
public:
    Pty();
    const std::string& slavePath() const { return slaveName; }
    int slaveFd() const { return slave.get(); }
    void closeMaster() { master.reset(); }
    // Bytes arriving at the master until COUNT have come or the timeout passes.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Whatever else arrives within a short time.
    Bytes readRest(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));

private:
    Norvik::Utils::UniqueFd master;
    Norvik::Utils::UniqueFd slave;
    std::string slaveName;
};

} // namespace DriverTest

#pragma once
// The relay board on the far end of a lamp's serial line: a Modbus RTU server that reports its
// coils ("coils=101") after every write. Posix: started by the test on a pseudo-terminal pair that
// the port link directory, named to the driver in this process, calls COM3. Windows: the
// session's stand-in behind COM5, its reports in a file.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace DriverTest {

class RelayBoard {
public:
    RelayBoard();
    ~RelayBoard();

    ::testing::AssertionResult start(); // the board answers on the lamp's port
    int port() const; // the COM number the lamp opens
    // The next COUNT reports in order, fewer when they do not come within five seconds.
    std::vector<std::string> reports(std::size_t count);

private:
    struct Parts;
    std::unique_ptr<Parts> parts;
};

} // namespace DriverTest

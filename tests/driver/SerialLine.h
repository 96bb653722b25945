#pragma once
// The far end of a serial lamp's line. Posix: a pseudo-terminal pair the test opens, its slave
// linked as COM7 (COM10 for a high line) in a port link directory named to the driver in this
// process. Windows: the session's COM pair, the lamp on LAMPTEST_LAMP_COM (LAMPTEST_HIGH_COM),
// the far end on LAMPTEST_PEER_COM (LAMPTEST_HIGH_PEER_COM).
#include "tests/driver/LampFrames.h"

#include <gtest/gtest.h>

#include <memory>

namespace DriverTest {

class SerialLine {
public:
    enum Number { Low, High }; // below COM10, or COM10 and above
    explicit SerialLine(Number number = Low); // throws when the line cannot be set up
    ~SerialLine();

    int port() const; // the COM number the lamp opens
    ::testing::AssertionResult received(const Bytes& expected); // exactly these bytes arrive next
    ::testing::AssertionResult silent(); // nothing arrives within a short wait
    int openHandles() const; // serial handles this process holds open

private:
    struct Parts;
    std::unique_ptr<Parts> parts;
};

inline ::testing::AssertionResult sameBytes(const Bytes& got, const Bytes& expected)
{
    if (got == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the line carried \"" << hex(got) << "\", not \"" << hex(expected) << "\"";
}

} // namespace DriverTest

#pragma once
// The far end of a lamp's COM port: the session links two COM names to the two ends of one
// pseudo-terminal pair, so what the lamp writes on one arrives here on the other.
#include <windows.h>

#include "tests/driver/LampFrames.h"

#include <gtest/gtest.h>

#include <string>

namespace WinTest {

class SerialPeer {
public:
    explicit SerialPeer(int comNumber); // throws when the port cannot be opened
    ~SerialPeer();
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;

    // Up to `count` bytes, whatever arrived within a second and a half.
    DriverTest::Bytes read(std::size_t count);
    // Exactly these bytes arrived next.
    ::testing::AssertionResult received(const DriverTest::Bytes& expected);
    // Nothing arrives within a short wait.
    ::testing::AssertionResult silent();

private:
    HANDLE port_;
};

std::string comName(int number); // "\\.\COMn", valid for every number

} // namespace WinTest

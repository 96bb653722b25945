#pragma once
// The far end of a lamp's COM port: the script links two COM names to the two ends of one
// pseudo-terminal pair, so what the lamp writes on one arrives here on the other.
#include <windows.h>

#include <string>
#include <vector>

namespace WinTest {

class SerialPeer {
public:
    explicit SerialPeer(int comNumber);
    ~SerialPeer();
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;

    // Reads exactly `count` bytes or fails the case after a second.
    std::vector<unsigned char> read(std::size_t count);
    // Fails the case when anything arrives within a short wait.
    void expectSilence();

private:
    HANDLE port_;
};

std::string comName(int number); // "\\.\COMn", valid for every number
std::string bytesText(const std::vector<unsigned char>& bytes); // "FE 05 00 ..."

} // namespace WinTest

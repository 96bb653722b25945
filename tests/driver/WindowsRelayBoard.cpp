#if defined(_WIN32)
#include "tests/driver/RelayBoard.h"

#include "tests/driver/LampFrames.h"
#include "tests/windows/LampModule.h"

#include <windows.h>

#include <fstream>

namespace DriverTest {
namespace {

// The complete lines of the board's report file from byte OFFSET on.
std::vector<std::string> linesFrom(const std::string& path, std::streamoff offset)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line) && !in.eof())
        lines.push_back(line);
    return lines;
}

} // namespace

struct RelayBoard::Parts {
    std::string file;
    std::streamoff read = 0; // reports before this offset belong to earlier cases
};

RelayBoard::RelayBoard() : parts(std::make_unique<Parts>()) {}

RelayBoard::~RelayBoard() = default;

::testing::AssertionResult RelayBoard::start()
{
    parts->file = WinTest::environment("LAMPTEST_COILS");
    std::ifstream in(parts->file, std::ios::binary | std::ios::ate);
    if (!in)
        return ::testing::AssertionFailure() << "no report file " << parts->file;
    parts->read = in.tellg();
    const auto lines = linesFrom(parts->file, 0);
    if (lines.empty() || lines.front() != "ready")
        return ::testing::AssertionFailure() << "the board is not ready";
    // The session's board keeps its coils from case to case: all three off first, as a board
    // started for the case would be, with the frames a lamp sends a colour's time apart.
    const std::string name = "\\\\.\\COM" + std::to_string(port());
    const HANDLE line = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (line == INVALID_HANDLE_VALUE)
        return ::testing::AssertionFailure() << "cannot open " << name << ", error " << GetLastError();
    for (const Bytes* frame : {&Coil0Off, &Coil1Off, &Coil2Off}) {
        DWORD written = 0;
        WriteFile(line, frame->data(), static_cast<DWORD>(frame->size()), &written, nullptr);
        Sleep(50);
    }
    CloseHandle(line);
    const auto cleared = reports(3);
    if (cleared.size() != 3 || cleared.back() != "coils=000")
        return ::testing::AssertionFailure() << "the board's coils were not cleared";
    return ::testing::AssertionSuccess();
}

int RelayBoard::port() const
{
    return WinTest::environmentNumber("LAMPTEST_MODBUS_COM");
}

std::vector<std::string> RelayBoard::reports(std::size_t count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i) {
        lines = linesFrom(parts->file, parts->read);
        if (lines.size() >= count)
            break;
        Sleep(50);
    }
    if (lines.size() > count)
        lines.resize(count);
    for (const auto& line : lines)
        parts->read += static_cast<std::streamoff>(line.size() + 1);
    return lines;
}

} // namespace DriverTest
#endif

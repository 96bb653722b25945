#pragma once

// The simulated Super I/O chip: its whole state lives in a fixed-size file that the
// port-access module updates and that tests and the lamp viewer read from other processes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace LampSim {

struct Access {
    enum Kind : std::uint8_t { Read = 0, Write = 1 };
    Kind kind;
    std::uint8_t width; // bytes: 1 or 4
    std::uint16_t port;
    std::uint32_t value;

    bool operator==(const Access& other) const;
    std::string toString() const; // e.g. "W1 2E=87"
};

class MappedFile;
struct ChipState;

class StateFile {
public:
    // Opens the state file, creating it with power-on values when missing or not a state file.
    explicit StateFile(const std::string& path);
    ~StateFile();
    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    // LAMPSIM_STATE, else the platform's default file.
    static std::string defaultPath();
    const std::string& path() const { return filePath; }

    // The chip as a program's port accesses reach it: recorded in the access log.
    std::uint32_t portRead(unsigned width, std::uint16_t port);
    void portWrite(unsigned width, std::uint16_t port, std::uint32_t value);

    // Inspection and set-up; not recorded.
    std::uint8_t readByte(std::uint16_t port) const;
    std::uint32_t readDword(std::uint16_t port) const;
    void setByte(std::uint16_t port, std::uint8_t value);
    void setDword(std::uint16_t port, std::uint32_t value);
    bool locked() const;
    std::uint8_t logicalDevice() const;
    std::uint8_t configRegister(std::uint8_t logicalDevice, std::uint8_t index) const;

    // The most recent accesses, oldest first (at most logCapacity), and how many there were.
    std::vector<Access> accesses() const;
    std::uint64_t accessCount() const;
    static std::size_t logCapacity();

    void clearLog();
    void reset(); // power-on values, empty log

private:
    template <typename F>
    auto withChip(F&& f) const;

    std::string filePath;
    std::unique_ptr<MappedFile> file;
    ChipState* chip;
};

} // namespace LampSim

#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace DriverTest {

using Bytes = std::vector<std::uint8_t>;
using Environment = std::map<std::string, std::string>;

std::string binDir();
std::string libraryPath(); // the built libBrillLamp.so

// A fresh directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }
    void write(const std::string& name, const std::string& text) const;
    void copy(const std::string& from, const std::string& name) const;
    void link(const std::string& target, const std::string& name) const;

private:
    std::string dir;
};

// A program run with extra environment entries (an empty value removes the entry), its
// standard input and output connected to the test.
class Process {
public:
    Process(const std::vector<std::string>& argv, const Environment& env);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void writeLine(const std::string& line);
    void signal(int number);
    // Waits for the end; returns the exit status (-1 when killed) and keeps the rest of the output.
    int wait();
    const std::string& rest() const { return remaining; }

private:
    pid_t pid = -1;
    int input = -1;
    int output = -1;
    std::string buffer;
    std::string remaining;
};

// Runs lampcall on LIBRARY with COMMANDS; returns its whole output, failing the test on a bad exit.
std::string lampCall(const std::string& library, const std::vector<std::string>& commands,
                     const Environment& env);

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

std::string hex(const Bytes& bytes);

} // namespace DriverTest

#pragma once

#include "utils/handle/PosixDescriptor.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace TestSupport {

struct ChildOptions {
    std::vector<std::string> arguments;
    // Added to (or replacing in) the test's own environment; a later setting of a name wins.
    std::vector<std::pair<std::string, std::string>> environment;
    // Names taken out of the test's own environment.
    std::vector<std::string> removed;
    // Run as nobody (uid and gid 65534, no supplementary groups).
    bool unprivileged = false;
    // Standard output goes to this file instead of the pipe that output() reads.
    std::string outputFile;
    // Standard error goes to this file (it may be outputFile); otherwise it is the test's own.
    std::string errorFile;
};

// Entries added to (or replacing) the test's own environment; an empty value removes the name.
using Environment = std::map<std::string, std::string>;

// A program as a child process, with its standard input and output on pipes.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const ChildOptions& options);
    // argv[0] is the program.
    ChildProcess(const std::vector<std::string>& argv, const Environment& environment, ChildOptions options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void write(const std::string& text);
    void closeInput();
    // Closes the reading end of standard output, as a console that has gone away.
    void closeOutput();
    // Reads standard output until it holds text or the time is up.
    bool waitForOutput(const std::string& text, int timeoutMs);
    // Everything read from standard output so far.
    const std::string& output() const { return captured; }
    // The next line of standard output not yet taken by readLine, without its newline;
    // "<timeout>" or "<eof>" when none comes.
    std::string readLine(int timeoutMs = 10000);
    // Standard output that readLine has not taken.
    std::string unread() const { return captured.substr(taken); }
    void signal(int number);
    pid_t pid() const { return child; }
    bool running();
    // The exit status, 128 + signal when killed by one, or timedOut while it still runs;
    // reads the remaining output. Without a time, as long as the test's own time-out allows.
    int wait(int timeoutMs = 24 * 3600 * 1000);

    static constexpr int timedOut = -1;

private:
    bool readSome(int timeoutMs);
    // Reads while more() holds; false when the time ran out or the output ended first.
    bool readWhile(const std::function<bool()>& more, int timeoutMs);

    pid_t child = -1;
    Norvik::Utils::UniqueFd input;
    Norvik::Utils::UniqueFd outputPipe;
    std::string captured;
    std::size_t taken = 0;
    bool reaped = false;
    int status = 0;
};

struct ProgramResult {
    int status = ChildProcess::timedOut; // as ChildProcess::wait
    std::string output;
    std::string error;
    double seconds = 0;
};

// Runs the program to its end with the given input (closed afterwards), capturing both outputs.
ProgramResult runChild(const std::string& program, const ChildOptions& options, const std::string& input = "",
                       int timeoutMs = 10000);
ProgramResult runChild(const std::vector<std::string>& argv, const Environment& environment = {});
// The same for a program of the build (in binDir()).
ProgramResult runBuilt(const std::string& name, std::vector<std::string> arguments,
                       const Environment& environment = {});

} // namespace TestSupport

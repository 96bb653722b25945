#include "tests/support/ChildProcess.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace TestSupport {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> childEnvironment(const ChildOptions& options)
{
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::size_t equals = std::min(text.find('='), text.size());
        variables[text.substr(0, equals)] = text.substr(std::min(equals + 1, text.size()));
    }
    for (const std::string& name : options.removed)
        variables.erase(name);
    // A later setting of the same name wins.
    for (const auto& [name, value] : options.environment)
        variables[name] = value;
    std::vector<std::string> result;
    for (const auto& [name, value] : variables)
        result.push_back(name + "=" + value);
    return result;
}

ChildOptions withEnvironment(const std::vector<std::string>& argv, const Environment& environment, ChildOptions options)
{
    options.arguments.insert(options.arguments.begin(), argv.begin() + 1, argv.end());
    for (const auto& [name, value] : environment) {
        if (value.empty())
            options.removed.push_back(name);
        else
            options.environment.emplace_back(name, value);
    }
    return options;
}

// Opens the file a standard stream goes to, before fork: the test may have threads running.
int openForChild(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    return fd;
}

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> result;
    for (std::string& text : texts)
        result.push_back(&text[0]);
    result.push_back(nullptr);
    return result;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const ChildOptions& options)
{
    std::vector<std::string> argumentTexts{program};
    argumentTexts.insert(argumentTexts.end(), options.arguments.begin(), options.arguments.end());
    std::vector<std::string> environmentTexts = childEnvironment(options);
    std::vector<char*> argv = pointers(argumentTexts);
    std::vector<char*> envp = pointers(environmentTexts);

    // Said on the child's output, so that a program the child cannot reach is named as the cause.
    const std::string execFailed =
        "cannot execute " + program + (options.unprivileged ? " as uid 65534: can that user reach it?\n" : "\n");

    int inputPipe[2];
    int outPipe[2] = {-1, -1};
    if (pipe2(inputPipe, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    if (!options.outputFile.empty())
        outPipe[1] = openForChild(options.outputFile);
    else if (pipe2(outPipe, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    int errorFd = -1;
    if (!options.errorFile.empty())
        errorFd = options.errorFile == options.outputFile ? outPipe[1] : openForChild(options.errorFile);

    child = fork();
    if (child < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (child == 0) {
        dup2(inputPipe[0], STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        if (errorFd >= 0)
            dup2(errorFd, STDERR_FILENO);
        if (options.unprivileged) {
            const gid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
                setresuid(nobody, nobody, nobody) != 0)
                _exit(126);
        }
        execve(program.c_str(), argv.data(), envp.data());
        [[maybe_unused]] const ssize_t said = ::write(STDOUT_FILENO, execFailed.data(), execFailed.size());
        _exit(127);
    }
    close(inputPipe[0]);
    close(outPipe[1]);
    if (errorFd >= 0 && errorFd != outPipe[1])
        close(errorFd);
    input.reset(inputPipe[1]);
    outputPipe.reset(outPipe[0]);
    // A child that ends before reading its input must not kill the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Environment& environment, ChildOptions options)
    : ChildProcess(argv.at(0), withEnvironment(argv, environment, std::move(options)))
{
}

ChildProcess::~ChildProcess()
{
    if (!reaped && child > 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    closeInput();
    closeOutput();
}

void ChildProcess::write(const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(input.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error(std::string("write to child: ") + std::strerror(errno));
        done += static_cast<size_t>(n);
    }
}

void ChildProcess::closeInput()
{
    input.reset();
}

void ChildProcess::closeOutput()
{
    outputPipe.reset();
}

bool ChildProcess::readSome(int timeoutMs)
{
    if (!outputPipe)
        return false;
    pollfd fd{outputPipe.get(), POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = read(outputPipe.get(), buffer, sizeof buffer);
    if (n <= 0) {
        outputPipe.reset();
        return false;
    }
    captured.append(buffer, static_cast<size_t>(n));
    return true;
}

bool ChildProcess::readWhile(const std::function<bool()>& more, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (more()) {
        if (!outputPipe || millisecondsLeft(deadline) == 0)
            return false;
        readSome(millisecondsLeft(deadline));
    }
    return true;
}

bool ChildProcess::waitForOutput(const std::string& text, int timeoutMs)
{
    return readWhile([&] { return captured.find(text) == std::string::npos; }, timeoutMs);
}

std::string ChildProcess::readLine(int timeoutMs)
{
    if (!readWhile([&] { return captured.find('\n', taken) == std::string::npos; }, timeoutMs))
        return outputPipe ? "<timeout>" : "<eof>";
    const std::size_t newline = captured.find('\n', taken);
    std::string line = captured.substr(taken, newline - taken);
    taken = newline + 1;
    return line;
}

void ChildProcess::signal(int number)
{
    if (!reaped)
        kill(child, number);
}

bool ChildProcess::running()
{
    if (reaped)
        return false;
    if (waitpid(child, &status, WNOHANG) == child)
        reaped = true;
    return !reaped;
}

int ChildProcess::wait(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!reaped) {
        if (waitpid(child, &status, WNOHANG) == child) {
            reaped = true;
            break;
        }
        if (millisecondsLeft(deadline) == 0)
            return timedOut;
        if (!readSome(std::min(millisecondsLeft(deadline), 20)))
            usleep(5000);
    }
    while (readSome(100)) {}
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : timedOut;
}

ProgramResult runChild(const std::string& program, const ChildOptions& options, const std::string& input, int timeoutMs)
{
    const auto start = Clock::now();
    ChildProcess child(program, options);
    if (!input.empty())
        child.write(input);
    child.closeInput();
    ProgramResult result;
    result.status = child.wait(timeoutMs);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.output = child.output();
    if (!options.errorFile.empty() && options.errorFile != options.outputFile)
        result.error = readFile(options.errorFile);
    return result;
}

ProgramResult runChild(const std::vector<std::string>& argv, const Environment& environment)
{
    TempDir dir;
    ChildOptions options;
    options.errorFile = dir.file("err");
    return runChild(argv.at(0), withEnvironment(argv, environment, options), "", 24 * 3600 * 1000);
}

ProgramResult runBuilt(const std::string& name, std::vector<std::string> arguments, const Environment& environment)
{
    arguments.insert(arguments.begin(), binDir() + "/" + name);
    return runChild(arguments, environment);
}

} // namespace TestSupport

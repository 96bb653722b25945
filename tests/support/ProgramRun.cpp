#include "ProgramRun.h"

#include "Files.h"
#include "TempDir.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace TestSupport {

namespace {

// Closes the descriptor when the holder goes.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

ProgramRun run(const std::vector<std::string>& argv, const Environment& env)
{
    TempDir dir;
    const std::string out = dir.file("out"), err = dir.file("err");
    // Everything the child needs is prepared before fork: the test may have threads running.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        bool replaced = false;
        for (const auto& pair : env)
            replaced = replaced || variable.rfind(pair.first + "=", 0) == 0;
        if (!replaced)
            variables.push_back(variable);
    }
    for (const auto& [name, value] : env)
        variables.push_back(name + "=" + value);
    std::vector<char*> args, envp;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (const std::string& variable : variables)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
    const Descriptor outFd{::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
    const Descriptor errFd{::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
    const Descriptor nothing{::open("/dev/null", O_RDONLY | O_CLOEXEC)};
    if (outFd.fd < 0 || errFd.fd < 0 || nothing.fd < 0)
        throw std::runtime_error(std::string("cannot create output files: ") + std::strerror(errno));

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (child == 0) {
        if (::dup2(nothing.fd, STDIN_FILENO) < 0 || ::dup2(outFd.fd, STDOUT_FILENO) < 0 ||
            ::dup2(errFd.fd, STDERR_FILENO) < 0)
            ::_exit(126);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ProgramRun result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(out);
    result.err = readFile(err);
    return result;
}

} // namespace TestSupport

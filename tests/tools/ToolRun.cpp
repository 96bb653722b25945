#include "ToolRun.h"

#include <chrono>
#include <fcntl.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ToolTest {

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::string binDir()
{
    return TOOLS_BIN_DIR;
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/toolstest.XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempDir::~TempDir()
{
    const std::string command = "rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0)
        return;
}

Run run(const std::vector<std::string>& argv, const Environment& env)
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
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (outFd < 0 || errFd < 0)
        throw std::runtime_error("cannot create output files");

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (::dup2(outFd, STDOUT_FILENO) < 0 || ::dup2(errFd, STDERR_FILENO) < 0)
            ::_exit(126);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    Run result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = slurp(out);
    result.err = slurp(err);
    return result;
}

} // namespace ToolTest

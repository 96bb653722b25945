#include "DriverTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace DriverTest {

namespace fs = std::filesystem;

std::string binDir()
{
    return LAMP_BIN_DIR;
}

std::string libraryPath()
{
    return binDir() + "/libBrillLamp.so";
}

TempDir::TempDir()
{
    std::string pattern = fs::temp_directory_path().string() + "/brilllamp-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    dir = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

void TempDir::write(const std::string& name, const std::string& text) const
{
    std::ofstream(file(name), std::ios::binary) << text;
}

void TempDir::copy(const std::string& from, const std::string& name) const
{
    fs::copy_file(from, file(name), fs::copy_options::overwrite_existing);
}

void TempDir::link(const std::string& target, const std::string& name) const
{
    fs::create_symlink(target, file(name));
}

Process::Process(const std::vector<std::string>& argv, const Environment& env)
{
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (env.count(entry.substr(0, entry.find('='))) == 0)
            entries.push_back(entry);
    }
    for (const auto& [name, value] : env)
        if (!value.empty())
            entries.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& arg : args)
        argp.push_back(arg.data());
    argp.push_back(nullptr);

    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const int rc = ::posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input = in[1];
    output = out[0];
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
}

Process::~Process()
{
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (input >= 0)
        ::close(input);
    if (output >= 0)
        ::close(output);
}

std::string Process::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto newline = buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{output, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return "<timeout>";
        char chunk[256];
        const ssize_t n = ::read(output, chunk, sizeof chunk);
        if (n <= 0)
            return "<eof>";
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

void Process::writeLine(const std::string& line)
{
    const std::string text = line + "\n";
    if (::write(input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write to child");
}

void Process::signal(int number)
{
    ::kill(pid, number);
}

int Process::wait()
{
    ::close(input);
    input = -1;
    char chunk[256];
    ssize_t n;
    while ((n = ::read(output, chunk, sizeof chunk)) > 0)
        buffer.append(chunk, static_cast<std::size_t>(n));
    remaining = buffer;
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string lampCall(const std::string& library, const std::vector<std::string>& commands,
                     const Environment& env)
{
    std::vector<std::string> argv = {binDir() + "/lampcall", library};
    argv.insert(argv.end(), commands.begin(), commands.end());
    Process child(argv, env);
    const int status = child.wait();
    EXPECT_EQ(0, status) << child.rest();
    return child.rest();
}

Pty::Pty()
{
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    slaveName = name;
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
}

Pty::~Pty()
{
    closeMaster();
    ::close(slave);
}

void Pty::closeMaster()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}

Bytes Pty::read(std::size_t count, std::chrono::milliseconds timeout)
{
    Bytes bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{master, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        std::uint8_t chunk[64];
        const ssize_t n = ::read(master, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

Bytes Pty::readRest(std::chrono::milliseconds quiet)
{
    Bytes bytes;
    for (;;) {
        Bytes more = read(64, quiet);
        if (more.empty())
            return bytes;
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
}

std::string hex(const Bytes& bytes)
{
    std::string text;
    char byte[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%s%02X", text.empty() ? "" : " ", b);
        text += byte;
    }
    return text;
}

} // namespace DriverTest

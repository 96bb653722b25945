// Figures of the request server: round-trip latency beside its floor, pipelined throughput and
// CPU per request, concurrent clients, connection churn and idle cost. Runs against "lightservice run" from its own
// directory on port 48888 when that program is there, else against a Server in this process on a free port (no idle
// figure then).
//   light_bench [--in-process] [--cycles N] [--quick]   (--quick: latency and throughput only)
//   light_bench --running LABEL [FLOOR_P50 FLOOR_P99]: the latency and throughput figures of a service already
//   listening on 48888 (the Windows program under Wine), lines starting with LABEL; FLOOR_P50
//   and FLOOR_P99, that platform's floor as ratios to 50 ms, follow LABEL when known
//   light_bench --flood SECONDS: only the connect/close flood figure, against the lightservice program
#include "utils/loader/ProgramPath.h"
#include "light/Server.h"
#include "tests/support/TcpClient.h"
#include "utils/threading/SystemSleep.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const double lampWaitMs = 50.0;
const std::string successAnswer = "{\n   \"error\" : 0,\n   \"log\" : \"\"\n}\n";
const std::string notAnObjectAnswer = "{\n   \"error\" : -1,\n   \"log\" : \"Json doesn't contain an object\"\n}\n";

FILE* report = stdout;

double msSince(Clock::time_point begin)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// A loopback client of the request server; a failed send counts as a wrong answer.
using Connection = TestSupport::TcpClient;

struct ProcessFigures {
    long residentKiB = -1;
    long threads = -1;
};

ProcessFigures processFigures(pid_t pid)
{
    ProcessFigures figures;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            figures.residentKiB = std::atol(line.c_str() + 6);
        else if (line.rfind("Threads:", 0) == 0)
            figures.threads = std::atol(line.c_str() + 8);
    }
    return figures;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            utime = std::stoull(field);
        if (index == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

const int latencyRequests = 100;

// Ratios to the lamp wait.
struct Spread {
    double p50 = 0;
    double p99 = 0;
};

const Spread linuxTargets{0.01, 0.03};

Spread spread(const std::vector<double>& milliseconds)
{
    return {percentile(milliseconds, 0.50) / lampWaitMs, percentile(milliseconds, 0.99) / lampWaitMs};
}

// What no request can beat here: three threads each sleeping out the lamp wait, joined.
Spread floorRounds()
{
    std::vector<double> times;
    for (int round = 0; round < latencyRequests; ++round) {
        const auto begin = Clock::now();
        std::thread colours[3];
        for (std::thread& colour : colours)
            colour = std::thread([] { Norvik::Utils::Threading::systemSleepMs(static_cast<unsigned>(lampWaitMs)); });
        for (std::thread& colour : colours)
            colour.join();
        times.push_back(msSince(begin));
    }
    return spread(times);
}

// floor and targets: ratios of this platform; the targets are distances from the floor.
void latency(int port, const Spread& floor, const Spread& targets)
{
    Connection connection(port);
    if (!connection.connected()) {
        std::fprintf(report, "(a) latency: cannot connect\n");
        return;
    }
    std::vector<double> times;
    int wrong = 0;
    for (int i = 0; i < latencyRequests; ++i) {
        const auto begin = Clock::now();
        connection.trySend(i % 2 ? R"({"red":false,"green":true})" : R"({"red":true,"blue":true})");
        if (connection.readAnswer(std::chrono::seconds(10)) != successAnswer)
            ++wrong;
        times.push_back(msSince(begin));
    }
    const Spread measured = spread(times);
    const double max = *std::max_element(times.begin(), times.end());
    std::fprintf(report,
                 "(a) latency, %d requests on one connection, x 50 ms: p50 %.3f (floor %.3f, distance %+.3f, target "
                 "<= %+.2f), p99 %.3f (floor %.3f, distance %+.3f, target <= %+.2f), max %.3f; wrong answers %d\n",
                 latencyRequests, measured.p50, floor.p50, measured.p50 - floor.p50, targets.p50, measured.p99,
                 floor.p99, measured.p99 - floor.p99, targets.p99, max / lampWaitMs, wrong);
}

// Eight clients each write all their requests at once and then read the answers: the lamp is
// busy throughout, so the rate is the lamp's and the CPU is what the service spends meanwhile.
// cpu gives the CPU seconds of the service so far, or is null where they cannot be seen.
void pipelined(int port, double (*cpu)(pid_t), pid_t pid)
{
    const int clients = 8, requests = 20;
    std::string batch;
    for (int r = 0; r < requests; ++r)
        batch += r % 2 ? R"({"red":false,"green":true})" : R"({"red":true,"blue":true})";
    std::atomic<int> right{0};
    std::vector<std::unique_ptr<Connection>> connections;
    for (int c = 0; c < clients; ++c)
        connections.push_back(std::make_unique<Connection>(port));
    const double cpuBefore = cpu ? cpu(pid) : 0;
    const auto begin = Clock::now();
    std::vector<std::thread> workers;
    for (auto& connection : connections) {
        workers.emplace_back([&] {
            if (!connection->connected() || !connection->trySend(batch))
                return;
            for (int r = 0; r < requests; ++r)
                if (connection->readAnswer(std::chrono::seconds(60)) == successAnswer)
                    ++right;
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    const double seconds = msSince(begin) / 1000.0;
    const int total = clients * requests;
    std::fprintf(report, "(e) %d clients pipelining %d requests each: %.2f requests/s (floor 20.00, distance %+.2f); ",
                 clients, requests, total / seconds, total / seconds - 1000.0 / lampWaitMs);
    if (cpu)
        std::fprintf(report, "service CPU %.3f ms per request; ", (cpu(pid) - cpuBefore) * 1000.0 / total);
    std::fprintf(report, "%d of %d answered right\n", right.load(), total);
}

void concurrentClients(int port)
{
    const int clients = 32, requests = 20;
    std::atomic<int> exact{0}, wrong{0}, extra{0}, failedConnects{0};
    std::vector<std::thread> workers;
    const auto begin = Clock::now();
    for (int c = 0; c < clients; ++c) {
        workers.emplace_back([&, c] {
            Connection connection(port);
            if (!connection.connected()) {
                ++failedConnects;
                return;
            }
            for (int r = 0; r < requests; ++r) {
                connection.trySend(R"({"red":)" + std::string((c + r) % 2 ? "true" : "false") + R"(,"green":true})");
                (connection.readAnswer(std::chrono::seconds(60)) == successAnswer ? exact : wrong)++;
            }
            // Tells this connection's answers apart from the others' by their text.
            connection.trySend("[" + std::to_string(c) + "]");
            if (connection.readAnswer(std::chrono::seconds(60)) != notAnObjectAnswer)
                ++wrong;
            if (!connection.readAvailable(std::chrono::milliseconds(20)).empty())
                ++extra;
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    const double total = msSince(begin);
    std::fprintf(
        report,
        "(b) 32 clients x 20 requests: %d of %d answered exactly once and right, %d wrong or missing, %d connections "
        "with surplus bytes, %d failed connects; total %.0f ms against 640 x 50 ms = 32000 ms (%.3f x)\n",
        exact.load(), clients * requests, wrong.load(), extra.load(), failedConnects.load(), total,
        total / (clients * requests * lampWaitMs));
}

// Connections waiting in the listening socket's accept queue (rx_queue of its /proc/net/tcp line).
long acceptBacklog(int port)
{
    std::ifstream table("/proc/net/tcp");
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, localAddress, remoteAddress, state, queues;
        fields >> slot >> localAddress >> remoteAddress >> state >> queues;
        if (localAddress == local && state == "0A")
            return std::stol(queues.substr(queues.find(':') + 1), nullptr, 16);
    }
    return 0;
}

// Waits until the service has taken every queued connection and its threads are down to limit.
long settle(int port, pid_t pid, long limit, long backlogLimit, int waitMs)
{
    const auto begin = Clock::now();
    long threads = processFigures(pid).threads;
    while ((threads > limit || acceptBacklog(port) > backlogLimit) && msSince(begin) < waitMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        threads = processFigures(pid).threads;
    }
    return threads;
}

void connectionChurn(int port, pid_t pid, int cycles)
{
    const ProcessFigures before = processFigures(pid);
    int failed = 0;
    const auto begin = Clock::now();
    for (int i = 0; i < cycles; ++i) {
        {
            Connection connection(port);
            if (!connection.connected())
                ++failed;
        }
        // Keeps the accept queue short: the figures are the service's, not the kernel's queue.
        if (i % 64 == 63)
            settle(port, pid, before.threads + 64, 16, 5000);
    }
    const long threadsAfter = settle(port, pid, before.threads, 0, 30000);
    const double elapsed = msSince(begin);
    const ProcessFigures after = processFigures(pid);
    std::fprintf(
        report,
        "(c) %d connect-and-close cycles in %.0f ms (%d failed): resident %ld KiB -> %ld KiB (growth %.2f MiB, target "
        "< 2 MiB), threads %ld -> %ld (idle %ld)\n",
        cycles, elapsed, failed, before.residentKiB, after.residentKiB,
        static_cast<double>(after.residentKiB - before.residentKiB) / 1024.0, before.threads, threadsAfter,
        before.threads);
}

// Two processes open and close connections in a loop, sending nothing, while a client asks on a
// fresh connection each time, as lightctl does.
void connectFlood(int port, int seconds)
{
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    std::vector<pid_t> flooders;
    for (int i = 0; i < 2; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            long opened = 0;
            while (Clock::now() < end) {
                Connection connection(port);
                opened += connection.connected();
            }
            _exit(opened > 0 ? 0 : 1);
        }
        flooders.push_back(child);
    }
    std::vector<double> times;
    int wrong = 0;
    long backlog = 0;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    while (Clock::now() < end) {
        const auto begin = Clock::now();
        Connection connection(port);
        connection.trySend(R"({"red":true})");
        if (connection.readAnswer(std::chrono::seconds(30)) != successAnswer)
            ++wrong;
        times.push_back(msSince(begin));
        backlog = std::max(backlog, acceptBacklog(port));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (const pid_t child : flooders)
        waitpid(child, nullptr, 0);
    if (times.empty())
        return;
    std::fprintf(report,
                 "(f) %d requests, each on a new connection, under two processes connecting and closing in a loop for "
                 "%d s: median %.3f s (target <= 0.5 s), p90 %.3f s, max %.3f s; wrong answers %d; accept queue up "
                 "to %ld\n",
                 static_cast<int>(times.size()), seconds, percentile(times, 0.5) / 1000.0,
                 percentile(times, 0.9) / 1000.0, *std::max_element(times.begin(), times.end()) / 1000.0, wrong,
                 backlog);
}

void idleCpu(pid_t pid)
{
    const double before = cpuSeconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double used = cpuSeconds(pid) - before;
    std::fprintf(report, "(d) idle CPU over 10 s: %.3f s = %.2f %% of one core (target < 1 %%)\n", used, used * 10.0);
}

std::string ownDirectory()
{
    const std::string directory = Norvik::programDirectory();
    return directory.empty() ? "." : directory.substr(0, directory.size() - 1);
}

bool waitForPort(int port, int waitMs)
{
    return TestSupport::waitForListener(port, waitMs);
}

int freePort()
{
    return TestSupport::freeTcpPort();
}

pid_t startProgram(const std::string& program)
{
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        execl(program.c_str(), program.c_str(), "run", static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

} // namespace

int main(int argc, char* argv[])
{
    bool inProcess = false;
    bool quick = false;
    int cycles = 50000;
    int floodSeconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--in-process") == 0)
            inProcess = true;
        else if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc)
            cycles = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--flood") == 0 && i + 1 < argc)
            floodSeconds = std::atoi(argv[++i]);
    }

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if ((argc == 3 || argc == 5) && std::strcmp(argv[1], "--running") == 0) {
        const Spread runningFloor{argc == 5 ? std::atof(argv[3]) : 1.0, argc == 5 ? std::atof(argv[4]) : 1.0};
        if (!waitForPort(Norvik::Server::port, 30000)) {
            std::printf("%s: nothing listens on %d\n", argv[2], Norvik::Server::port);
            return 1;
        }
        std::fprintf(report, "%s ", argv[2]);
        latency(Norvik::Server::port, runningFloor, Spread{0.02, 0.05});
        std::fprintf(report, "%s ", argv[2]);
        pipelined(Norvik::Server::port, nullptr, 0);
        return 0;
    }
    const std::string statePath = "/tmp/light-bench-lampsim-" + std::to_string(getpid());
    setenv("LAMPSIM_STATE", statePath.c_str(), 1);
    const std::string program = ownDirectory() + "/lightservice";
    if (!inProcess && access(program.c_str(), X_OK) != 0) {
        std::fprintf(report, "no %s: using a Server in this process\n", program.c_str());
        inProcess = true;
    }

    if (inProcess) {
        // The server's console lines go to /dev/null; the figures to the original output.
        const int saved = dup(STDOUT_FILENO);
        report = fdopen(saved, "w");
        std::fflush(stdout);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        const int port = freePort();
        std::setvbuf(report, nullptr, _IOLBF, 0);
        std::fprintf(report, "in-process Server on port %d\n", port);
        {
            Norvik::Server server(port);
            latency(port, floorRounds(), linuxTargets);
            pipelined(port, nullptr, 0);
            if (!quick) {
                concurrentClients(port);
                connectionChurn(port, getpid(), cycles);
                std::fprintf(report, "(d) idle CPU: needs the lightservice program\n");
            }
        }
        std::remove(statePath.c_str());
        return 0;
    }

    std::printf("lightservice run (pid below) on port %d\n", Norvik::Server::port);
    const pid_t service = startProgram(program);
    std::printf("pid %d\n", static_cast<int>(service));
    std::fflush(stdout);
    if (!waitForPort(Norvik::Server::port, 10000)) {
        std::printf("lightservice did not listen on %d\n", Norvik::Server::port);
        kill(service, SIGTERM);
        waitpid(service, nullptr, 0);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (floodSeconds > 0) {
        connectFlood(Norvik::Server::port, floodSeconds);
    } else {
        latency(Norvik::Server::port, floorRounds(), linuxTargets);
        pipelined(Norvik::Server::port, cpuSeconds, service);
        if (!quick) {
            concurrentClients(Norvik::Server::port);
            connectionChurn(Norvik::Server::port, service, cycles);
            idleCpu(service);
        }
    }
    kill(service, SIGTERM);
    waitpid(service, nullptr, 0);
    std::remove(statePath.c_str());
    return 0;
}

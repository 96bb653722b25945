// Creates, runs once and destroys many threads in a row, the way each lamp request does, and
// prints the resident memory before and after: it must stay flat.
#include "utils/threading/Routine.h"
#include "utils/threading/Thread.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

using Norvik::Utils::Threading::Routine;
using Norvik::Utils::Threading::Thread;

namespace {

class Pass : public Routine {
public:
    void run() override { ++passes; }
    std::atomic<long> passes{0};
};

long statusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return -1;
}

void churn(Pass& routine, long count, int intervalMs, bool joinEach)
{
    for (long i = 0; i < count; ++i) {
        std::unique_ptr<Thread> thread(Thread::create(&routine));
        thread->start(intervalMs, 1);
        while (!thread->isFinished()) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        if (joinEach) {
            thread->join();
        }
    }
}

void measure(const char* title, long count, int intervalMs, bool joinEach)
{
    Pass routine;
    churn(routine, 100, intervalMs, joinEach);
    const long rssBefore = statusKb("VmRSS");
    const long sizeBefore = statusKb("VmSize");
    const auto begin = std::chrono::steady_clock::now();
    churn(routine, count, intervalMs, joinEach);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("%s: %ld threads in %.2f s (%.0f per second), passes %ld\n", title, count, seconds, count / seconds,
                routine.passes.load());
    std::printf("  VmRSS  before %ld kB, after %ld kB, growth %ld kB\n", rssBefore, statusKb("VmRSS"),
                statusKb("VmRSS") - rssBefore);
    std::printf("  VmSize before %ld kB, after %ld kB, growth %ld kB\n", sizeBefore, statusKb("VmSize"),
                statusKb("VmSize") - sizeBefore);
}

} // namespace

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 100000;
    const int intervalMs = argc > 2 ? std::atoi(argv[2]) : 0;
    std::printf("one-pass threads, pause %d ms after the pass\n", intervalMs);
    measure("destroyed once finished, never joined", count, intervalMs, false);
    measure("joined, then destroyed", count, intervalMs, true);
    return 0;
}

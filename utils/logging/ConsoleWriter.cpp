#include "utils/logging/ConsoleWriter.h"

#include "utils/logging/LogEnvironment.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

namespace Norvik::Utils {

namespace {

using Clock = std::chrono::steady_clock;
// At exit, waiting goes on only while the console has taken something this recently.
constexpr auto stalledAfter = std::chrono::milliseconds(500);

// Lives until the process ends: its thread may sit in a write nobody will ever take.
class Backlog {
public:
    Backlog()
    {
        std::thread([this] { drain(); }).detach();
        std::atexit([] { ConsoleWriter::flush(); });
    }

    void add(std::string text)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (lines.size() >= ConsoleWriter::backlogLines || bytes + text.size() > ConsoleWriter::backlogBytes) {
                ++dropped;
                return;
            }
            sayDropped();
            push(std::move(text));
        }
        changed.notify_all();
    }

    void flush()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!lines.empty() || writing) {
            if (Clock::now() - lastProgress > stalledAfter) {
                return;
            }
            changed.wait_for(lock, stalledAfter / 5);
        }
    }

private:
    void push(std::string text)
    {
        // A console that had nothing to take is not stalled: its wait starts with this line.
        if (lines.empty() && !writing) {
            lastProgress = Clock::now();
        }
        bytes += text.size();
        lines.push_back(std::move(text));
    }

    void sayDropped()
    {
        if (dropped > 0) {
            push(std::to_string(dropped) + " console lines dropped: the console was not read\n");
            dropped = 0;
        }
    }

    void drain()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return !lines.empty(); });
            std::string text = std::move(lines.front());
            lines.pop_front();
            bytes -= text.size();
            writing = true;
            lastProgress = Clock::now();
            lock.unlock();
            LogEnvironment::writeConsole(text);
            lock.lock();
            writing = false;
            lastProgress = Clock::now();
            if (lines.empty()) {
                sayDropped();
            }
            changed.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    std::size_t bytes = 0;
    unsigned long dropped = 0;
    bool writing = false;
    Clock::time_point lastProgress = Clock::now();
};

Backlog& backlog()
{
    static Backlog* const instance = new Backlog();
    return *instance;
}

} // namespace

void ConsoleWriter::writeLine(const std::string& line)
{
    backlog().add(line + '\n');
}

void ConsoleWriter::write(const std::string& text)
{
    backlog().add(text);
}

void ConsoleWriter::flush()
{
    backlog().flush();
}

} // namespace Norvik::Utils

#include "utils/threading/Thread.h"

#include "utils/text/Exception.h"
#include "utils/logging/Logger.h"
#include "utils/logging/RateLimitedLog.h"
#include "utils/text/StringUtils.h"
#include "utils/threading/SystemSleep.h"

#include <chrono>
#include <exception>

namespace Norvik::Utils::Threading {

namespace {
// A pause up to this long is slept out and a stop is seen right after it: a plain sleep is the
// cheapest wait everywhere, while a timed wait on a condition costs milliseconds under Wine.
constexpr int shortPauseMs = 10;
} // namespace

Thread::Thread(Routine* routine) : routine(routine) {}

Thread::~Thread() = default;

void Thread::requestStop()
{
    {
        std::lock_guard<std::mutex> lock(pauseMutex);
        stopRequested = true;
    }
    pauseWake.notify_all();
}

bool Thread::isFinished() const
{
    return finished;
}

bool Thread::isStopRequested() const
{
    return stopRequested;
}

bool Thread::hasRunsLeft() const
{
    return runsLeft > 0;
}

void Thread::onStart() {}

void Thread::onStop() {}

void Thread::setRunParameters(int intervalMs, int runsLeft)
{
    this->intervalMs = intervalMs;
    this->runsLeft = runsLeft;
    stopRequested = false;
    finished = false;
}

void Thread::setFinished(bool value)
{
    finished = value;
}

void Thread::creationFailed(const std::wstring& reason)
{
    finished = true;
    // Out of threads, every request would say it three times.
    static Utils::RateLimitedLog failures(10, std::chrono::minutes(1));
    failures.error("Thread", L"Не удалось создать поток (%ls)", reason.c_str());
}

void Thread::body()
{
    finished = false;
    onStart();
    while (runsLeft != 0) {
        bool didWork = false;
        try {
            routine->run();
            didWork = routine->passDidWork();
        } catch (const Exception& e) {
            Logger::instance().error("Thread", L"Исключение в потоке [%d] (%ls)", e.getCode(), e.getMessage().c_str());
        } catch (const std::exception& e) {
            Logger::instance().error("Thread", L"Исключение в потоке (%ls)",
                                     StringUtils::toWide(e.what(), StringUtils::Utf8).c_str());
        } catch (...) {
            Logger::instance().error("Thread", L"Неизвестное исключение в потоке");
        }
        if (runsLeft > 0) {
            --runsLeft;
        }
        // No pause after the last pass: a one-pass thread counts as finished, and is joined, as
        // soon as its pass has returned.
        if (isStopRequested() || runsLeft == 0) {
            break;
        }
        if (didWork) {
            continue;
        }
        const int pause = intervalMs;
        if (pause > 0 && pause <= shortPauseMs) {
            systemSleepMs(static_cast<unsigned>(pause));
            if (isStopRequested())
                break;
        } else if (pause > 0) {
            // A stop requested during the pause ends the loop at once instead of after one
            // more pass, so owners never wait out a long interval.
            std::unique_lock<std::mutex> lock(pauseMutex);
            if (pauseWake.wait_for(lock, std::chrono::milliseconds(pause), [this] { return isStopRequested(); }))
                break;
        }
    }
    onStop();
    finished = true;
}

} // namespace Norvik::Utils::Threading

#if defined(_WIN32)
// The floor of a request under this Windows (or Wine): three threads each sleeping 50 ms,
// joined, as a request switches its three colours. Prints p50 and p99 as ratios to 50 ms, and
// what a request's threads cost here: a thread created and joined, and the time from
// CreateThread until the new thread runs (a request's colours wait for the last of three).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

DWORD WINAPI sleeper(LPVOID)
{
    Sleep(50);
    return 0;
}

DWORD WINAPI nothing(LPVOID)
{
    return 0;
}

DWORD WINAPI stampStart(LPVOID argument)
{
    *static_cast<std::chrono::steady_clock::time_point*>(argument) = std::chrono::steady_clock::now();
    return 0;
}

template <typename Step>
double microsecondsEach(int count, Step step)
{
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        step();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count() / count;
}

} // namespace

int main()
{
    std::vector<double> ratios;
    for (int round = 0; round < 200; ++round) {
        const auto begin = std::chrono::steady_clock::now();
        HANDLE threads[3];
        for (HANDLE& thread : threads)
            thread = CreateThread(nullptr, 0, sleeper, nullptr, 0, nullptr);
        for (HANDLE thread : threads) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        ratios.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count() /
                         50.0);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("floor, three threads each sleeping 50 ms, joined, 200 rounds: p50 %.3f x 50 ms, p99 %.3f x\n",
                ratios[100], ratios[198]);

    const double thread = microsecondsEach(200, [] {
        HANDLE handle = CreateThread(nullptr, 0, nothing, nullptr, 0, nullptr);
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
    });
    std::vector<double> starts;
    for (int round = 0; round < 200; ++round) {
        std::chrono::steady_clock::time_point running;
        const auto begin = std::chrono::steady_clock::now();
        HANDLE handle = CreateThread(nullptr, 0, stampStart, &running, 0, nullptr);
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
        starts.push_back(std::chrono::duration<double, std::micro>(running - begin).count());
    }
    std::sort(starts.begin(), starts.end());
    std::printf("pieces: a thread created and joined %.0f us; from CreateThread until the thread runs p50 %.0f us, "
                "p99 %.0f us\n",
                thread, starts[100], starts[198]);
    return 0;
}
#endif

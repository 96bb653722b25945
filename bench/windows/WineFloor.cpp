#if defined(_WIN32)
// The floor of a request under this Windows (or Wine): three threads each sleeping 50 ms,
// joined, as a request switches its three colours. Prints p50 and p99 as ratios to 50 ms.
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
        ratios.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count() / 50.0);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("floor, three threads each sleeping 50 ms, joined, 200 rounds: p50 %.3f x 50 ms, p99 %.3f x\n",
                ratios[100], ratios[198]);
    return 0;
}
#endif

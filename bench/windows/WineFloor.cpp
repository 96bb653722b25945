#if defined(_WIN32)
// The floor of a request under this Windows (or Wine): three threads each sleeping 50 ms,
// joined, as a request switches its three colours. Prints p50 and p99 as ratios to 50 ms, and
// what the pieces of a request beyond the floor cost here: a thread created and joined, a file
// lock taken and released (the simulated chip takes one per port access).
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
        ratios.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count() / 50.0);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("floor, three threads each sleeping 50 ms, joined, 200 rounds: p50 %.3f x 50 ms, p99 %.3f x\n",
                ratios[100], ratios[198]);

    const double thread = microsecondsEach(200, [] {
        HANDLE handle = CreateThread(nullptr, 0, nothing, nullptr, 0, nullptr);
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
    });
    wchar_t folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"flr", 0, name);
    HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const double lock = microsecondsEach(2000, [file] {
        OVERLAPPED whole{};
        LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 4096, 0, &whole);
        UnlockFileEx(file, 0, 4096, 0, &whole);
    });
    CloseHandle(file);
    std::printf("pieces: a thread created and joined %.0f us, a file lock taken and released %.0f us\n", thread,
                lock);
    return 0;
}
#endif

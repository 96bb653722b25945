#pragma once

#if defined(_WIN32)

#include "utils/threading/Thread.h"

#include <windows.h>

namespace Norvik::Utils::Threading {

class WindowsThread : public Thread {
public:
    explicit WindowsThread(Routine* routine);
    ~WindowsThread() override;

    void start(int intervalMs, int runsLeft) override;
    void join() override;

private:
    // Closes the thread handle it holds; the destructor does so at the latest.
    class Handle {
    public:
        Handle() = default;
        ~Handle() { close(); }
        Handle(const Handle&) = delete;
        Handle& operator=(const Handle&) = delete;

        void reset(HANDLE value);
        void close();
        HANDLE get() const { return value; }

    private:
        HANDLE value = INVALID_HANDLE_VALUE;
    };

    static DWORD WINAPI entry(LPVOID argument);

    Handle threadHandle;
    bool started = false;
};

} // namespace Norvik::Utils::Threading

#endif

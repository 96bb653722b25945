#pragma once

#if defined(_WIN32)

#include <atomic>
#include <winsock2.h>

namespace Norvik::Ports {

// Owns one Winsock socket. close() may come from another thread than the one using the handle:
// closing is what wakes a blocked accept or recv on Windows, and only the first call closes.
class WindowsSocket {
public:
    explicit WindowsSocket(SOCKET handle = INVALID_SOCKET) : handle(handle) {}
    ~WindowsSocket() { close(); }
    WindowsSocket(const WindowsSocket&) = delete;
    WindowsSocket& operator=(const WindowsSocket&) = delete;

    SOCKET get() const { return handle; }
    bool isOpen() const { return handle != INVALID_SOCKET; }
    SOCKET release()
    {
        const SOCKET result = handle;
        handle = INVALID_SOCKET;
        return result;
    }
    void close()
    {
        if (handle != INVALID_SOCKET && !closed.exchange(true)) {
            ::closesocket(handle);
        }
    }

private:
    SOCKET handle;
    std::atomic<bool> closed{false};
};

} // namespace Norvik::Ports

#endif

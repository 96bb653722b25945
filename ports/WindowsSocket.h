#pragma once

#if defined(_WIN32)

#include "utils/handle/WindowsSocketHandle.h"

#include <atomic>
#include <winsock2.h>

namespace Norvik::Ports {

// Owns one Winsock socket. close() may come from another thread than the one using the handle:
// closing is what wakes a blocked accept or recv on Windows, so the handle stays as it was for
// that thread, and only the first call closes.
class WindowsSocket {
public:
    explicit WindowsSocket(SOCKET handle = INVALID_SOCKET) : owned(handle) {}
    ~WindowsSocket()
    {
        // Closed by close() already: not a second time.
        if (closed)
            owned.release();
    }
    WindowsSocket(const WindowsSocket&) = delete;
    WindowsSocket& operator=(const WindowsSocket&) = delete;

    SOCKET get() const { return owned.get(); }
    bool isOpen() const { return static_cast<bool>(owned); }
    SOCKET release() { return owned.release(); }
    void close()
    {
        if (owned && !closed.exchange(true)) {
            Utils::SocketTraits::close(owned.get());
        }
    }

private:
    Utils::UniqueSocket owned;
    std::atomic<bool> closed{false};
};

} // namespace Norvik::Ports

#endif

#pragma once

#if !defined(_WIN32)

#include <unistd.h>

namespace Norvik::Ports {

// Owns one socket descriptor and closes it when destroyed.
class PosixSocket {
public:
    PosixSocket() = default;
    explicit PosixSocket(int descriptor) : descriptor(descriptor) {}
    ~PosixSocket() { reset(); }

    PosixSocket(PosixSocket&& other) noexcept : descriptor(other.descriptor) { other.descriptor = -1; }
    PosixSocket& operator=(PosixSocket&& other) noexcept
    {
        if (this != &other) {
            reset();
            descriptor = other.descriptor;
            other.descriptor = -1;
        }
        return *this;
    }
    PosixSocket(const PosixSocket&) = delete;
    PosixSocket& operator=(const PosixSocket&) = delete;

    int get() const { return descriptor; }
    bool isOpen() const { return descriptor >= 0; }
    void reset()
    {
        if (descriptor >= 0) {
            ::close(descriptor);
            descriptor = -1;
        }
    }

private:
    int descriptor = -1;
};

} // namespace Norvik::Ports

#endif

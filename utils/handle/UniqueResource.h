#pragma once

// One owner for every kind of system handle, header only so that every deliverable compiles its
// own copy (the lamp driver links nothing of the system's own). The platform's kinds are in
// PosixDescriptor.h, WindowsHandle.h and WindowsSocketHandle.h.

namespace Norvik::Utils {

// Owns one handle and gives it back to the system when destroyed. Traits tells the kind apart:
// Value, none() (what an empty owner holds), owns(value) (false for every failure value the
// system's calls return) and close(value).
template <typename Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) noexcept : value(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value get() const noexcept { return value; }
    explicit operator bool() const noexcept { return Traits::owns(value); }

    // The caller closes what it takes.
    Value release() noexcept
    {
        const Value taken = value;
        value = Traits::none();
        return taken;
    }

    void reset(Value next = Traits::none()) noexcept
    {
        const Value previous = value;
        value = next;
        if (Traits::owns(previous))
            Traits::close(previous);
    }

private:
    Value value = Traits::none();
};

} // namespace Norvik::Utils

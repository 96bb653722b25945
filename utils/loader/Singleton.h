#pragma once

namespace Norvik::Utils {

// One process-wide object of T, built on the first instance() call and destroyed at exit.
template <typename T>
class Singleton {
public:
    static T& instance()
    {
        static T object;
        return object;
    }

    virtual ~Singleton() = default;

protected:
    Singleton() = default;
};

} // namespace Norvik::Utils

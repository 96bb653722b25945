#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace LampSim {

// A file mapped shared into memory, with a lock that other processes honour too.
class MappedFile {
public:
    static std::unique_ptr<MappedFile> open(const std::string& path, std::size_t size);
    static std::string defaultPath();
    virtual ~MappedFile() = default;
    virtual void* data() const = 0;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

} // namespace LampSim

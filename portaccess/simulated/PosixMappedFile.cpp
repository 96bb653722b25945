#if !defined(_WIN32)

#include "portaccess/simulated/MappedFile.h"

#include "utils/handle/PosixDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LampSim {

namespace {

std::runtime_error failure(const std::string& what, const std::string& path)
{
    return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

class PosixMappedFile : public MappedFile {
public:
    PosixMappedFile(const std::string& path, std::size_t size)
        : fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)), length(size)
    {
        if (!fd)
            throw failure("cannot open", path);
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0 ||
            (static_cast<std::size_t>(info.st_size) < size &&
             ::ftruncate(fd.get(), static_cast<off_t>(size)) != 0))
            throw failure("cannot size", path);
        void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
        if (mapped == MAP_FAILED)
            throw failure("cannot map", path);
        memory = mapped;
    }

    ~PosixMappedFile() override { ::munmap(memory, length); }

    void* data() const override { return memory; }
    void lock() override
    {
        while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {}
    }
    void unlock() override { ::flock(fd.get(), LOCK_UN); }

private:
    Norvik::Utils::UniqueFd fd;
    std::size_t length;
    void* memory = nullptr;
};

} // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::string& path, std::size_t size)
{
    return std::make_unique<PosixMappedFile>(path, size);
}

std::string MappedFile::defaultPath()
{
    return "/tmp/lampsim.state";
}

} // namespace LampSim

#endif

#include "LampSimState.h"

#include "ChipState.h"
#include "MappedFile.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace LampSim {

namespace {
// One lock per process on top of the file lock, which does not exclude threads of one process.
std::mutex& processLock()
{
    static std::mutex lock;
    return lock;
}
} // namespace

bool Access::operator==(const Access& other) const
{
    return kind == other.kind && width == other.width && port == other.port &&
           value == other.value;
}

std::string Access::toString() const
{
    char text[40];
    std::snprintf(text, sizeof text, "%c%u %X=%X", kind == Write ? 'W' : 'R',
                  static_cast<unsigned>(width), static_cast<unsigned>(port),
                  static_cast<unsigned>(value));
    return text;
}

template <typename F> auto StateFile::withChip(F&& f) const
{
    std::lock_guard<std::mutex> guard(processLock());
    struct FileLock {
        MappedFile& file;
        explicit FileLock(MappedFile& f) : file(f) { file.lock(); }
        ~FileLock() { file.unlock(); }
    } fileLock(*file);
    return f(*chip);
}

StateFile::StateFile(const std::string& path)
    : filePath(path), file(MappedFile::open(path, sizeof(ChipState))),
      chip(static_cast<ChipState*>(file->data()))
{
    withChip([](ChipState& state) {
        if (state.magic != Magic || state.version != LayoutVersion)
            powerOn(state);
        return 0;
    });
}

StateFile::~StateFile() = default;

std::string StateFile::defaultPath()
{
    const char* path = std::getenv("LAMPSIM_STATE");
    return path && *path ? path : MappedFile::defaultPath();
}

std::uint32_t StateFile::portRead(unsigned width, std::uint16_t port)
{
    return withChip([&](ChipState& state) { return chipRead(state, width, port); });
}

void StateFile::portWrite(unsigned width, std::uint16_t port, std::uint32_t value)
{
    withChip([&](ChipState& state) {
        chipWrite(state, width, port, value);
        return 0;
    });
}

std::uint8_t StateFile::readByte(std::uint16_t port) const
{
    return withChip([&](ChipState& state) -> std::uint8_t {
        const std::uint8_t* out = outputByte(state, port);
        return out ? *out : 0xFF;
    });
}

std::uint32_t StateFile::readDword(std::uint16_t port) const
{
    return withChip([&](ChipState& state) -> std::uint32_t {
        const std::uint32_t* reg = dwordRegister(state, port);
        return reg ? *reg : 0xFFFFFFFFu;
    });
}

void StateFile::setByte(std::uint16_t port, std::uint8_t value)
{
    withChip([&](ChipState& state) {
        if (std::uint8_t* out = outputByte(state, port))
            *out = value;
        return 0;
    });
}

void StateFile::setDword(std::uint16_t port, std::uint32_t value)
{
    withChip([&](ChipState& state) {
        if (std::uint32_t* reg = dwordRegister(state, port))
            *reg = value;
        return 0;
    });
}

bool StateFile::locked() const
{
    return withChip([](ChipState& state) { return chipLocked(state); });
}

std::uint8_t StateFile::logicalDevice() const
{
    return withChip([](ChipState& state) { return state.logicalDevice; });
}

std::uint8_t StateFile::configRegister(std::uint8_t device, std::uint8_t index) const
{
    return withChip([&](ChipState& state) {
        return index < FirstDeviceRegister ? state.globalRegisters[index]
                                           : state.deviceRegisters[device % LogicalDevices][index];
    });
}

std::vector<Access> StateFile::accesses() const
{
    return withChip([](ChipState& state) {
        const std::uint64_t count = state.accessCount;
        const std::uint64_t first = count > LogEntries ? count - LogEntries : 0;
        std::vector<Access> result;
        result.reserve(static_cast<std::size_t>(count - first));
        for (std::uint64_t i = first; i < count; ++i) {
            const LogEntry& e = state.log[i % LogEntries];
            result.push_back({static_cast<Access::Kind>(e.kind), e.width, e.port, e.value});
        }
        return result;
    });
}

std::uint64_t StateFile::accessCount() const
{
    return withChip([](ChipState& state) { return state.accessCount; });
}

std::size_t StateFile::logCapacity()
{
    return LogEntries;
}

void StateFile::clearLog()
{
    withChip([](ChipState& state) {
        state.accessCount = 0;
        return 0;
    });
}

void StateFile::reset()
{
    withChip([](ChipState& state) {
        powerOn(state);
        return 0;
    });
}

} // namespace LampSim

#include "portaccess/simulated/LampSimState.h"

#include "portaccess/simulated/ChipState.h"
#include "portaccess/simulated/MappedFile.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace LampSim {

namespace {

using LockWord = std::atomic<std::uint16_t>;
static_assert(sizeof(LockWord) == sizeof(std::uint16_t) && LockWord::is_always_lock_free,
              "the access lock is the file's own two bytes");

// Held this long by one mark, the access lock belonged to a process that ended inside an access
// (an access holds it for a microsecond): it is taken over.
constexpr std::chrono::seconds abandonedAfter{1};

// A new non-zero mark for each access, different between processes.
std::uint16_t nextMark()
{
    static std::atomic<std::uint16_t> counter{
        static_cast<std::uint16_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                                   reinterpret_cast<std::uintptr_t>(&counter) >> 4)};
    std::uint16_t mark = 0;
    while (mark == 0)
        mark = counter.fetch_add(1, std::memory_order_relaxed);
    return mark;
}

// Exclusion for one access to the chip among all threads of all processes that map the file.
// A compare-and-swap in the mapped bytes: under Wine a system lock on the file costs two trips
// to the server per access, and Linux's flock does not see the record locks Wine takes.
class AccessLock {
public:
    explicit AccessLock(ChipState& chip)
        : word(*reinterpret_cast<LockWord*>(&chip.accessLock)), mark(nextMark())
    {
        std::uint16_t seen = 0;
        auto seenSince = std::chrono::steady_clock::now();
        for (;;) {
            std::uint16_t holder = 0;
            if (word.compare_exchange_weak(holder, mark, std::memory_order_acquire,
                                           std::memory_order_relaxed))
                return;
            const auto now = std::chrono::steady_clock::now();
            if (holder != seen) {
                seen = holder;
                seenSince = now;
            } else if (holder != 0 && now - seenSince >= abandonedAfter &&
                       word.compare_exchange_strong(holder, mark, std::memory_order_acquire,
                                                    std::memory_order_relaxed)) {
                return;
            }
            std::this_thread::yield();
        }
    }

    ~AccessLock()
    {
        std::uint16_t own = mark;
        word.compare_exchange_strong(own, 0, std::memory_order_release, std::memory_order_relaxed);
    }

    AccessLock(const AccessLock&) = delete;
    AccessLock& operator=(const AccessLock&) = delete;

private:
    LockWord& word;
    std::uint16_t mark;
};

} // namespace

bool Access::operator==(const Access& other) const
{
    return kind == other.kind && width == other.width && port == other.port && value == other.value;
}

std::string Access::toString() const
{
    char text[40];
    std::snprintf(text, sizeof text, "%c%u %X=%X", kind == Write ? 'W' : 'R',
                  static_cast<unsigned>(width), static_cast<unsigned>(port),
                  static_cast<unsigned>(value));
    return text;
}

template <typename F>
auto StateFile::withChip(F&& f) const
{
    AccessLock lock(*chip);
    return f(*chip);
}

StateFile::StateFile(const std::string& path)
    : filePath(path), file(MappedFile::open(path, sizeof(ChipState))),
      chip(static_cast<ChipState*>(file->data()))
{
    // Whoever opens a new or foreign file first makes it a chip; the system's file lock keeps
    // two openers apart. Nobody holds the access lock of a file that was no chip.
    struct FileLock {
        MappedFile& file;
        explicit FileLock(MappedFile& f) : file(f) { file.lock(); }
        ~FileLock() { file.unlock(); }
    } fileLock(*file);
    if (chip->magic != Magic || chip->version != LayoutVersion) {
        chip->accessLock = 0;
        powerOn(*chip);
    }
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

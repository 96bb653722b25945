// Port-access module over the simulated Super I/O chip: port accesses go to the state file
// named by LAMPSIM_STATE, read again at every InitializeOls. LAMPSIM_READ_DELAY_MS, read there too,
// makes every port read take that long, as a slow bus would, so that races show.
// LAMPSIM_INIT_DELAY_MS makes InitializeOls take as long as a hardware module that first starts
// its kernel driver.

#include "portaccess/simulated/LampSimState.h"
#include "portaccess/OlsFunctions.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace {

std::mutex chipLock;
std::chrono::milliseconds readDelay{0};
std::unique_ptr<LampSim::StateFile>& chipFile()
{
    static std::unique_ptr<LampSim::StateFile> file;
    return file;
}

// Caller holds chipLock.
LampSim::StateFile* openChip(bool again)
{
    auto& file = chipFile();
    const std::string path = LampSim::StateFile::defaultPath();
    if (!file || (again && file->path() != path)) {
        try {
            file = std::make_unique<LampSim::StateFile>(path);
        } catch (const std::exception&) {
            file.reset();
        }
    }
    return file.get();
}

std::uint32_t readPort(unsigned width, Ols::Word port)
{
    std::chrono::milliseconds delay{0};
    std::uint32_t value = 0xFFFFFFFFu >> (32 - 8 * width);
    {
        std::lock_guard<std::mutex> guard(chipLock);
        if (LampSim::StateFile* chip = openChip(false))
            value = chip->portRead(width, port);
        delay = readDelay;
    }
    // Outside the lock: other callers' accesses go on meanwhile, as they would on the bus.
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);
    return value;
}

void writePort(unsigned width, Ols::Word port, std::uint32_t value)
{
    std::lock_guard<std::mutex> guard(chipLock);
    if (LampSim::StateFile* chip = openChip(false))
        chip->portWrite(width, port, value);
}

} // namespace

extern "C" {

OLS_EXPORT Ols::Bool OLS_CALL InitializeOls()
{
#if defined(LAMPSIM_INIT_FAILS)
    return 0;
#else
    if (const char* delay = std::getenv("LAMPSIM_INIT_DELAY_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
    std::lock_guard<std::mutex> guard(chipLock);
    const char* delay = std::getenv("LAMPSIM_READ_DELAY_MS");
    readDelay = std::chrono::milliseconds(delay ? std::atoi(delay) : 0);
    return openChip(true) != nullptr;
#endif
}

OLS_EXPORT Ols::Byte OLS_CALL ReadIoPortByte(Ols::Word port)
{
    return static_cast<Ols::Byte>(readPort(1, port));
}

OLS_EXPORT Ols::Dword OLS_CALL ReadIoPortDword(Ols::Word port)
{
    return readPort(4, port);
}

OLS_EXPORT void OLS_CALL WriteIoPortByte(Ols::Word port, Ols::Byte value)
{
    writePort(1, port, value);
}

OLS_EXPORT void OLS_CALL WriteIoPortDword(Ols::Word port, Ols::Dword value)
{
    writePort(4, port, value);
}

} // extern "C"

// The chip answers only the calls the lamp driver makes; the rest report failure.
OLS_FUNCTIONS(OLS_STUB)

#include "light/WindowsLightVelk77Service.h"

#include "light/Console.h"
#include "light/LightColour.h"
#include "light/LightSwitch.h"

#include "utils/loader/BrillLampLibrary.h"
#include "utils/text/Exception.h"
#include "utils/text/StringUtils.h"

#include <atomic>

namespace Norvik {

namespace {

using Utils::BrillLampLibrary;
using Utils::Exception;
namespace StringUtils = Utils::StringUtils;

constexpr int lampType = 6;
constexpr int comPort = 0;

enum StartFailure { libraryNotLoaded = -1, initialisationFailed = -2 };

const wchar_t* const libraryNotLoadedText = L"Не удалось загрузить библиотеку для работы с устройством";
const wchar_t* const initialisationFailedText = L"Не удалось выполнить инициализацию устройства";
const wchar_t* const unknownStartFailureText = L"Неизвестная ошибка при попытке подключиться к устройству";
const wchar_t* const switchNotStartedText = L"Не удалось запустить поток переключения цвета";

// Raises the start flag however setLights leaves, so no switch waits for it forever.
class StartFlagRaiser {
public:
    explicit StartFlagRaiser(std::atomic<bool>& flag) : flag(flag) {}
    ~StartFlagRaiser() { flag.store(true, std::memory_order_release); }

private:
    std::atomic<bool>& flag;
};

} // namespace

LightVelk77Service* LightVelk77Service::create()
{
    return new WindowsLightVelk77Service();
}

WindowsLightVelk77Service::WindowsLightVelk77Service()
{
    try {
        BrillLampLibrary& library = BrillLampLibrary::instance();
        library.load(L"");
        if (!library.isLoaded()) {
            Console::writeLine("[-] Dll is not loaded");
            throw Exception(libraryNotLoaded, libraryNotLoadedText);
        }
        if (!library.initBrillLamp(lampType, comPort)) {
            Console::writeLine("[-] Initialization is failed");
            throw Exception(initialisationFailed, initialisationFailedText);
        }
    } catch (const Exception& failure) {
        Console::writeLine("[-] Exception: " + StringUtils::toNarrow(failure.getMessage(), StringUtils::Utf8));
        lastError = failure.getMessage();
    } catch (...) {
        Console::writeLine("[-] Unknown error");
        lastError = unknownStartFailureText;
    }
}

WindowsLightVelk77Service::~WindowsLightVelk77Service()
{
    try {
        BrillLampLibrary& library = BrillLampLibrary::instance();
        if (library.isLoaded())
            library.closeConnectBrillLamp();
    } catch (...) {
    }
}

int WindowsLightVelk77Service::setLights(bool red, bool green, bool blue, std::wstring& log)
{
    if (!lastError.empty()) {
        log = lastError;
        return -1;
    }
    std::lock_guard<std::mutex> lock(lampLock);
    Console::writeLine("START");
    std::atomic<bool> startFlag{false};
    bool allSwitched = false;
    {
        LightSwitch redSwitch(Red, red, &startFlag);
        LightSwitch greenSwitch(Green, green, &startFlag);
        LightSwitch blueSwitch(Blue, blue, &startFlag);
        {
            StartFlagRaiser raiser(startFlag);
            redSwitch.start();
            greenSwitch.start();
            blueSwitch.start();
        }
        redSwitch.join();
        greenSwitch.join();
        blueSwitch.join();
        allSwitched = redSwitch.hasSwitched() && greenSwitch.hasSwitched() && blueSwitch.hasSwitched();
    }
    Console::writeLine("STOP");
    // A colour whose thread could not be created was not switched: never report that as success.
    if (!allSwitched) {
        log = switchNotStartedText;
        return -1;
    }
    return 0;
}

int WindowsLightVelk77Service::switchAllOff(std::wstring& log)
{
    return setLights(false, false, false, log);
}

int WindowsLightVelk77Service::switchColour(int colour, bool on, std::wstring&)
{
    std::lock_guard<std::mutex> lock(lampLock);
    LightSwitch::switchColour(colour, on);
    return 0;
}

} // namespace Norvik

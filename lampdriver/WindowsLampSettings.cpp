#if defined(_WIN32)

#include "lampdriver/LampSettings.h"

#include "utils/handle/WindowsHandle.h"

#include <vector>
#include <windows.h>

namespace BrillLamp {

std::string readLampSetting(const char* valueName)
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return {};
    const Norvik::Utils::UniqueRegistryKey settings(opened);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(settings.get(), valueName, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    // One byte more than stored: a value saved without its terminating zero stays terminated.
    std::vector<char> data(size + 1, '\0');
    if (::RegQueryValueExA(settings.get(), valueName, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return data.data();
}

} // namespace BrillLamp

#endif

#if defined(_WIN32)

#include "lampdriver/LampSettings.h"

#include <vector>
#include <windows.h>

namespace BrillLamp {

namespace {
struct RegistryKey {
    HKEY key = nullptr;
    ~RegistryKey()
    {
        if (key)
            ::RegCloseKey(key);
    }
};
} // namespace

std::string readLampSetting(const char* valueName)
{
    RegistryKey settings;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &settings.key) !=
        ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(settings.key, valueName, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    // One byte more than stored: a value saved without its terminating zero stays terminated.
    std::vector<char> data(size + 1, '\0');
    if (::RegQueryValueExA(settings.key, valueName, nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return data.data();
}

} // namespace BrillLamp

#endif

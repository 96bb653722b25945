#if defined(_WIN32)
#include "tests/driver/SettingsStore.h"

#include <windows.h>

#include <stdexcept>

namespace DriverTest {
namespace {

// The driver reads the view of its own bitness: the 32-bit view for the shipped DLL.
const REGSAM OwnView = sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
const REGSAM OtherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

void removeKey()
{
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, SettingsKey.c_str(), KEY_WOW64_32KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, SettingsKey.c_str(), KEY_WOW64_64KEY, 0);
}

} // namespace

struct SettingsStore::Parts {
    REGSAM view;
    void write(const char* name, DWORD type, const void* data, std::size_t size) const
    {
        HKEY key = nullptr;
        LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKey.c_str(), 0, nullptr, 0, KEY_WRITE | view,
                                      nullptr, &key, nullptr);
        if (result == ERROR_SUCCESS) {
            result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
            RegCloseKey(key);
        }
        if (result != ERROR_SUCCESS)
            throw std::runtime_error("cannot write the settings, error " + std::to_string(result));
    }
};

SettingsStore::SettingsStore(View view) : parts(std::make_unique<Parts>(Parts{view == Own ? OwnView : OtherView}))
{
    removeKey();
}

SettingsStore::~SettingsStore()
{
    removeKey();
}

void SettingsStore::number(const char* name, unsigned long value)
{
    const DWORD number = value;
    parts->write(name, REG_DWORD, &number, sizeof number);
}

void SettingsStore::text(const char* name, const std::string& value)
{
    parts->write(name, REG_SZ, value.c_str(), value.size() + 1);
}

} // namespace DriverTest
#endif

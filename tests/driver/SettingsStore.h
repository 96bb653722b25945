#pragma once
// The lamp's settings where the driver in this process reads them, none at first. Posix: an INI
// file of the test's own, named in BRILLLAMP_SETTINGS, its key's section written whole at every
// change. Windows: the key in the registry of the session's Wine prefix, removed again at the end.
#include <memory>
#include <string>

namespace DriverTest {

inline const std::string SettingsKey = "SOFTWARE\\BrillDeviceSetting\\1.0\\XDeviceSetting";

class SettingsStore {
public:
#if defined(_WIN32)
    enum View { Own, Other }; // the registry view of the driver's bitness, or the other one
    explicit SettingsStore(View view = Own);
    void number(const char* name, unsigned long value); // a REG_DWORD
#else
    SettingsStore();
    void file(const std::string& text); // the whole file
#endif
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    void text(const char* name, const std::string& value); // a text value (REG_SZ)

private:
    struct Parts;
    std::unique_ptr<Parts> parts;
};

} // namespace DriverTest

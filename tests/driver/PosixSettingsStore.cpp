#if !defined(_WIN32)
#include "tests/driver/SettingsStore.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <map>

namespace DriverTest {

struct SettingsStore::Parts {
    TestSupport::TempDir dir;
    std::map<std::string, std::string> values;
};

SettingsStore::SettingsStore() : parts(std::make_unique<Parts>())
{
    ::setenv("BRILLLAMP_SETTINGS", parts->dir.file("settings.ini").c_str(), 1);
}

SettingsStore::~SettingsStore()
{
    ::unsetenv("BRILLLAMP_SETTINGS");
}

void SettingsStore::file(const std::string& text)
{
    parts->dir.write("settings.ini", text);
}

void SettingsStore::text(const char* name, const std::string& value)
{
    parts->values[name] = value;
    std::string section = "[" + SettingsKey + "]\n";
    for (const auto& entry : parts->values)
        section += entry.first + "=" + entry.second + "\n";
    file(section);
}

} // namespace DriverTest
#endif

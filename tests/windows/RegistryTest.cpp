#if defined(_WIN32)
// InitAutoBrillLamp with settings written to the registry of the test's Wine prefix.
#include "tests/driver/SerialLine.h"
#include "tests/windows/LampModule.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using WinTest::BrillLamp;
using WinTest::Chip;

const wchar_t* const settingsKey = L"SOFTWARE\\BrillDeviceSetting\\1.0\\XDeviceSetting";
// The DLL reads the registry view of its own bitness: the 32-bit view for the shipped DLL.
const REGSAM ownView = sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
const REGSAM otherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

// The settings key of one registry view, removed again when the case ends.
class Settings {
public:
    explicit Settings(REGSAM view = ownView) : view_(view) { remove(); }
    ~Settings() { remove(); }
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    void text(const wchar_t* name, const std::wstring& value) const
    {
        write(name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    }
    void number(const wchar_t* name, DWORD value) const { write(name, REG_DWORD, &value, sizeof value); }
    static void remove()
    {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, settingsKey, KEY_WOW64_32KEY, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, settingsKey, KEY_WOW64_64KEY, 0);
    }

private:
    void write(const wchar_t* name, DWORD type, const void* data, std::size_t size) const
    {
        HKEY key = nullptr;
        LONG result =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, settingsKey, 0, nullptr, 0, KEY_WRITE | view_, nullptr, &key, nullptr);
        if (result == ERROR_SUCCESS) {
            result = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
            RegCloseKey(key);
        }
        if (result != ERROR_SUCCESS)
            throw std::runtime_error("cannot write the settings, error " + std::to_string(result));
    }
    REGSAM view_;
};

// Which I/O-port lamp type was chosen, seen from the port that red on touches.
unsigned redPort(const Chip& chip, const BrillLamp& lamp)
{
    const std::size_t mark = chip.accessCount();
    lamp.RedOpenBrillLamp();
    const auto log = chip.accesses();
    return mark < log.size() ? log[mark].port : 0;
}

} // namespace

TEST(Main, AutoWithoutSettingsChoosesLampType0)
{
    Settings settings;
    Chip chip;
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitAutoBrillLamp());
    const std::string init = chip.log();
    ASSERT_NE(std::string::npos, init.find("W1 2E=25 R1 2F=")) << init;
    // Lamp type 0 leaves the outputs as they were.
    ASSERT_EQ(std::string::npos, init.find("A0")) << init;
    ASSERT_EQ(0xA03u, redPort(chip, lamp));
}

TEST(Main, AutoReadsLampTypeAsDecimalText)
{
    Settings settings;
    Chip chip;
    BrillLamp lamp;
    const struct {
        const wchar_t* text;
        unsigned redPort;
    } cases[] = {{L"6", 0xA09},  {L" 6", 0xA09}, {L"06", 0xA09}, {L"6x", 0xA09},
                 {L"x6", 0xA03}, {L"7", 0xA00},  {L"2", 0xA07}};
    for (const auto& c : cases) {
        settings.text(L"LampType", c.text);
        ASSERT_TRUE(lamp.InitAutoBrillLamp());
        ASSERT_EQ(c.redPort, redPort(chip, lamp));
    }
    settings.text(L"LampType", L"9");
    ASSERT_FALSE(lamp.InitAutoBrillLamp());
}

TEST(Main, AutoTakesDwordLampTypeAsZero)
{
    Settings settings;
    Chip chip;
    BrillLamp lamp;
    settings.number(L"LampType", 6);
    ASSERT_TRUE(lamp.InitAutoBrillLamp());
    ASSERT_EQ(0xA03u, redPort(chip, lamp));
}

TEST(Main, AutoReadsOnlyItsOwnRegistryView)
{
    Settings settings(otherView);
    Chip chip;
    BrillLamp lamp;
    settings.text(L"LampType", L"6");
    ASSERT_TRUE(lamp.InitAutoBrillLamp());
    ASSERT_EQ(0xA03u, redPort(chip, lamp));
}

TEST(Main, AutoOpensComPortFromSettings)
{
    Settings settings;
    DriverTest::SerialLine peer;
    const int com = peer.port();
    BrillLamp lamp;
    settings.text(L"LampType", L"4");
    settings.text(L"LampCOM", std::to_wstring(com));
    ASSERT_TRUE(lamp.InitAutoBrillLamp());
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(peer.received({0xF1}));
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(peer.received({0xF0}));

    // "COMn" is not a number: it reads as port 0, which does not exist.
    settings.text(L"LampCOM", L"COM" + std::to_wstring(com));
    ASSERT_FALSE(lamp.InitAutoBrillLamp());
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(peer.silent());
}
#endif

#if defined(_WIN32)
// WindowsModule behind the loader: BrillLamp.dll found by its bare name beside the program and
// switching the simulated chip, and the system's reason when a library cannot be loaded.
#include "utils/loader/BrillLampLibrary.h"
#include "utils/loader/Module.h"
#include "utils/loader/NotLoadedException.h"
#include "utils/text/StringUtils.h"
#include "portaccess/simulated/LampSimState.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

using Norvik::Utils::BrillLampLibrary;
using Norvik::Utils::NotLoadedException;
namespace Module = Norvik::Utils::Module;

namespace {

class OtherLibrary : public Norvik::Utils::DynamicLibrary {
protected:
    void loadMethods() override {}
    std::list<std::wstring> getLibraryNames() const override { return {Module::libraryFileName(L"BrillLamp")}; }
};

} // namespace

TEST(WindowsLoader, BrillLampByBareNameSwitchesTheChip)
{
    const char* state = std::getenv("LAMPSIM_STATE");
    ASSERT_NE(state, nullptr) << "run through scripts/windows-tests.sh";
    LampSim::StateFile chip(state);
    chip.reset();

    BrillLampLibrary& lamp = BrillLampLibrary::instance();
    lamp.load(L"");
    ASSERT_TRUE(lamp.isLoaded());
    EXPECT_EQ(lamp.getFileName(), L"BrillLamp.dll");
    ASSERT_TRUE(lamp.initBrillLamp(6, 0));
    lamp.redOpenBrillLamp();
    EXPECT_EQ(chip.readByte(0xA09) & 0x08, 0); // lit when the bit is 0
    EXPECT_EQ(chip.readByte(0xA04) & 0x10, 0x10); // green stays dark
    lamp.redCloseBrillLamp();
    EXPECT_EQ(chip.readByte(0xA09) & 0x08, 0x08);
    lamp.closeConnectBrillLamp();
    EXPECT_TRUE(chip.locked());
    lamp.unload();
    EXPECT_FALSE(lamp.isLoaded());
}

TEST(WindowsLoader, MissingLibraryCarriesThePathAndTheSystemText)
{
    EXPECT_EQ(Module::libraryFileName(L"BrillLamp"), L"BrillLamp.dll");
    const std::wstring missing = L"C:\\нет такой папки\\BrillLamp.dll";
    EXPECT_TRUE(Module::isMissing(missing));
    EXPECT_FALSE(Module::lastErrorText().empty());

    OtherLibrary library;
    try {
        library.loadFile(missing);
        FAIL() << "loaded a file that does not exist";
    } catch (const NotLoadedException& e) {
        const std::wstring text = e.getMessage();
        EXPECT_NE(text.find(missing), std::wstring::npos) << e.what();
        EXPECT_GT(text.size(), missing.size() + 10) << e.what();
    }
    EXPECT_FALSE(library.isLoaded());
}

TEST(WindowsLoader, LibraryFoundInTheFirstListedFolderThatHasIt)
{
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own);
    folder.resize(folder.find_last_of(L'\\'));
    OtherLibrary library;
    library.load(L"C:\\nowhere;" + folder);
    ASSERT_TRUE(library.isLoaded());
    EXPECT_EQ(library.getDirectory(), folder);
    EXPECT_EQ(library.getFileName(), L"BrillLamp.dll");
}
#endif

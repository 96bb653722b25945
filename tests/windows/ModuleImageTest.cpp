#if defined(_WIN32)
// The shipped DLL's export and import tables, read from its image as the loader mapped it.
#include "tests/windows/LampModule.h"
#include "portaccess/OlsFunctions.h"
#include "tests/windows/WineTest.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

template <typename T>
const T* at(HMODULE module, DWORD rva)
{
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

const IMAGE_NT_HEADERS* headers(HMODULE module)
{
    const auto* dos = at<IMAGE_DOS_HEADER>(module, 0);
    WT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    const auto* nt = at<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    WT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    return nt;
}

std::vector<std::string> exportedNames(HMODULE module)
{
    const auto& entry = headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (entry.VirtualAddress == 0)
        return names;
    const auto* directory = at<IMAGE_EXPORT_DIRECTORY>(module, entry.VirtualAddress);
    const auto* nameRvas = at<DWORD>(module, directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i)
        names.push_back(at<char>(module, nameRvas[i]));
    WT_EQ(directory->NumberOfFunctions, directory->NumberOfNames); // nothing by ordinal only
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> importedLibraries(HMODULE module)
{
    const auto& entry = headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    if (entry.VirtualAddress == 0)
        return names;
    for (const auto* d = at<IMAGE_IMPORT_DESCRIPTOR>(module, entry.VirtualAddress); d->Name; ++d) {
        std::string name = at<char>(module, d->Name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        names.push_back(name);
    }
    return names;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

TEST(Main, BrillLampExportsElevenUndecoratedNames)
{
    WinTest::BrillLamp lamp;
    std::vector<std::string> expected = {"InitBrillLamp",       "InitAutoBrillLamp",   "CloseConnectBrillLamp",
                                         "RedOpenBrillLamp",    "RedCloseBrillLamp",   "GreenOpenBrillLamp",
                                         "GreenCloseBrillLamp", "BlueOpenBrillLamp",   "BlueCloseBrillLamp",
                                         "YellowOpenBrillLamp", "YellowCloseBrillLamp"};
    std::sort(expected.begin(), expected.end());
    const auto names = exportedNames(lamp.module);
    if (names != expected)
        WinTest::fail("exports are: " + joined(names), __FILE__, __LINE__);
}

TEST(Main, BrillLampNeedsOnlySystemLibraries)
{
    WinTest::BrillLamp lamp;
#if defined(__i386__)
    WT_EQ(headers(lamp.module)->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
    const std::vector<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
    const auto imports = importedLibraries(lamp.module);
    WT_CHECK(!imports.empty());
    for (const auto& name : imports)
        if (std::find(system.begin(), system.end(), name) == system.end())
            WinTest::fail("imports " + name + " (all: " + joined(imports) + ")", __FILE__, __LINE__);
}
// The program the kiosk runs, mapped as an image without resolving its imports: only system
// libraries (static C++ runtime, zlib, log4cpp and jsoncpp linked in).
TEST(Main, LightserviceNeedsOnlySystemLibraries)
{
    const HMODULE program = LoadLibraryExW(L"..\\..\\lightservice.exe", nullptr, DONT_RESOLVE_DLL_REFERENCES);
    WT_CHECK(program != nullptr);
    std::vector<std::string> imports = importedLibraries(program);
    std::sort(imports.begin(), imports.end());
    const std::vector<std::string> expected = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "shell32.dll",
                                               "ws2_32.dll"};
    if (imports != expected)
        WinTest::fail("imports are: " + joined(imports), __FILE__, __LINE__);
}

// The chip's module stands in for WinRing0: every one of its names, undecorated.
TEST(Main, SimulatedModuleExportsEveryPortAccessName)
{
    const HMODULE module = LoadLibraryW(L"WinRing0.dll");
    WT_CHECK(module != nullptr);
    const auto names = exportedNames(module);
#define WT_EXPECT_NAME(name, result, params, failure, used)                                                            \
    if (!std::binary_search(names.begin(), names.end(), std::string(#name)))                                           \
        WinTest::fail("WinRing0.dll lacks " #name, __FILE__, __LINE__);
    OLS_FUNCTIONS(WT_EXPECT_NAME)
#undef WT_EXPECT_NAME
    for (const auto& name : names)
        WT_CHECK(name.find('@') == std::string::npos);
}
#endif

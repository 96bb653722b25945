#if defined(_WIN32)
// The shipped DLL's export and import tables, read from its image as the loader mapped it.
#include "tests/windows/LampModule.h"
#include "portaccess/OlsFunctions.h"

#include <gtest/gtest.h>

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
    return at<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
}

::testing::AssertionResult isImage(HMODULE module)
{
    const auto* dos = at<IMAGE_DOS_HEADER>(module, 0);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return ::testing::AssertionFailure() << "no DOS signature: " << dos->e_magic;
    if (headers(module)->Signature != IMAGE_NT_SIGNATURE)
        return ::testing::AssertionFailure() << "no NT signature: " << headers(module)->Signature;
    return ::testing::AssertionSuccess();
}

// The exported names, sorted; fails where the image is none or exports by ordinal only.
::testing::AssertionResult exportedNames(HMODULE module, std::vector<std::string>& names)
{
    if (auto image = isImage(module); !image)
        return image;
    const auto& entry = headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0)
        return ::testing::AssertionSuccess();
    const auto* directory = at<IMAGE_EXPORT_DIRECTORY>(module, entry.VirtualAddress);
    const auto* nameRvas = at<DWORD>(module, directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i)
        names.push_back(at<char>(module, nameRvas[i]));
    std::sort(names.begin(), names.end());
    if (directory->NumberOfFunctions != directory->NumberOfNames)
        return ::testing::AssertionFailure()
            << directory->NumberOfFunctions << " exports, " << directory->NumberOfNames << " of them by name";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult importedLibraries(HMODULE module, std::vector<std::string>& names)
{
    if (auto image = isImage(module); !image)
        return image;
    const auto& entry = headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (entry.VirtualAddress == 0)
        return ::testing::AssertionSuccess();
    for (const auto* d = at<IMAGE_IMPORT_DESCRIPTOR>(module, entry.VirtualAddress); d->Name; ++d) {
        std::string name = at<char>(module, d->Name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        names.push_back(name);
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(Main, BrillLampExportsElevenUndecoratedNames)
{
    WinTest::BrillLamp lamp;
    const std::vector<std::string> expected = {"BlueCloseBrillLamp",   "BlueOpenBrillLamp",  "CloseConnectBrillLamp",
                                               "GreenCloseBrillLamp",  "GreenOpenBrillLamp", "InitAutoBrillLamp",
                                               "InitBrillLamp",        "RedCloseBrillLamp",  "RedOpenBrillLamp",
                                               "YellowCloseBrillLamp", "YellowOpenBrillLamp"};
    std::vector<std::string> names;
    ASSERT_TRUE(exportedNames(static_cast<HMODULE>(lamp.module), names));
    ASSERT_EQ(expected, names);
}

TEST(Main, BrillLampNeedsOnlySystemLibraries)
{
    WinTest::BrillLamp lamp;
    ASSERT_TRUE(isImage(static_cast<HMODULE>(lamp.module)));
#if defined(__i386__)
    ASSERT_EQ(IMAGE_FILE_MACHINE_I386, headers(static_cast<HMODULE>(lamp.module))->FileHeader.Machine);
#endif
    const std::vector<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
    std::vector<std::string> imports;
    ASSERT_TRUE(importedLibraries(static_cast<HMODULE>(lamp.module), imports));
    ASSERT_FALSE(imports.empty());
    for (const auto& name : imports)
        ASSERT_NE(system.end(), std::find(system.begin(), system.end(), name))
            << "imports " << name << " (all: " << ::testing::PrintToString(imports) << ")";
}
// The program the kiosk runs, mapped as an image without resolving its imports: only system
// libraries (static C++ runtime, zlib, log4cpp and jsoncpp linked in).
TEST(Main, LightserviceNeedsOnlySystemLibraries)
{
    const HMODULE program = LoadLibraryExW(L"..\\..\\lightservice.exe", nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, program);
    std::vector<std::string> imports;
    ASSERT_TRUE(importedLibraries(program, imports));
    std::sort(imports.begin(), imports.end());
    const std::vector<std::string> expected = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "shell32.dll",
                                               "ws2_32.dll"};
    ASSERT_EQ(expected, imports);
}

// The chip's module stands in for WinRing0: every one of its names, undecorated.
TEST(Main, SimulatedModuleExportsEveryPortAccessName)
{
    const HMODULE module = LoadLibraryW(L"WinRing0.dll");
    ASSERT_NE(nullptr, module);
    std::vector<std::string> names;
    ASSERT_TRUE(exportedNames(module, names));
#define EXPECT_NAME(name, result, params, failure, used)                                                               \
    ASSERT_TRUE(std::binary_search(names.begin(), names.end(), std::string(#name))) << "WinRing0.dll lacks " #name;
    OLS_FUNCTIONS(EXPECT_NAME)
#undef EXPECT_NAME
    for (const auto& name : names)
        ASSERT_EQ(std::string::npos, name.find('@')) << name;
}
#endif

// Loading of the port-access module: refused, failing and absent modules, and the hardware module.

#include "tests/driver/DriverTestSupport.h"
#include "portaccess/simulated/LampSimState.h"
#include "portaccess/OlsFunctions.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/io.h>
#include <thread>
#include <unistd.h>

namespace {

#define OLS_NAME(name, result, params, failure, used) #name,
const std::vector<std::string> OlsNames = {OLS_FUNCTIONS(OLS_NAME)};
#undef OLS_NAME

class PortAccessModuleTest : public ::testing::Test {
protected:
    PortAccessModuleTest() : chip(dir.file("chip.state")) { dir.copy(DriverTest::libraryPath(), "libBrillLamp.so"); }

    std::string call(const std::vector<std::string>& commands)
    {
        const TestSupport::Environment env = {{"LAMPSIM_STATE", chip.path()}, {"LD_LIBRARY_PATH", ""}};
        return DriverTest::lampCall(commands, env, dir.file("libBrillLamp.so"));
    }

    TestSupport::TempDir dir;
    LampSim::StateFile chip;
};

TEST_F(PortAccessModuleTest, WithoutAModuleNoLampTypeStartsAndColoursChangeNothing)
{
    for (const char* type : {"0", "1", "2", "6", "7"}) {
        EXPECT_EQ("init=false\nred-on\ngreen-on\nblue-on\nclosed\n",
                  call({"init", type, "0", "red-on", "green-on", "blue-on", "close"}))
            << type;
    }
    EXPECT_EQ(0u, chip.accessCount());
    EXPECT_EQ(0xFF, chip.readByte(0xA09));
}

TEST_F(PortAccessModuleTest, AModuleLackingOneNameIsRefused)
{
    dir.copy(LAMP_LACKING_MODULE, "libWinRing0.so");
    EXPECT_EQ("init=false\n", call({"init", "6", "0"}));
    EXPECT_EQ(0u, chip.accessCount()) << "nothing written by a refused initialisation";
}

TEST_F(PortAccessModuleTest, AModuleThatCannotInitialiseIsRefused)
{
    dir.copy(LAMP_FAILING_MODULE, "libWinRing0.so");
    EXPECT_EQ("init=false\ninit=false\n", call({"init", "6", "0", "init", "1", "0"}));
    EXPECT_EQ(0u, chip.accessCount());
}

TEST_F(PortAccessModuleTest, TheSimulatedModuleBesideTheDriverIsAccepted)
{
    dir.copy(TestSupport::binDir() + "/libWinRing0.so", "libWinRing0.so");
    EXPECT_EQ("init=true\n", call({"init", "6", "0"}));
    EXPECT_GT(chip.accessCount(), 0u);
}

// Which of the 54 names a module file exports, loaded under a name of its own.
std::vector<std::string> missingNames(const std::string& module)
{
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(nullptr, handle) << ::dlerror();
    std::vector<std::string> missing;
    for (const std::string& name : OlsNames)
        if (!handle || !::dlsym(handle, name.c_str()))
            missing.push_back(name);
    return missing;
}

TEST(PortAccessModules, ExportTheirNames)
{
    ASSERT_EQ(54u, OlsNames.size());
    EXPECT_EQ(std::vector<std::string>{}, missingNames(TestSupport::binDir() + "/libWinRing0.so"));
    if (*LAMP_HARDWARE_MODULE) {
        EXPECT_EQ(std::vector<std::string>{}, missingNames(LAMP_HARDWARE_MODULE));
    }
    EXPECT_EQ(std::vector<std::string>{"HltPx"}, missingNames(LAMP_LACKING_MODULE));
}

// The hardware module lives in a process of its own here: no other module is loaded.
TEST(HardwareModule, InitialisesExactlyWhenPortAccessIsPermitted)
{
    if (!*LAMP_HARDWARE_MODULE)
        GTEST_SKIP() << "no hardware module on this processor";
    void* handle = ::dlopen(LAMP_HARDWARE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, handle) << ::dlerror();
    using InitializeOlsCall = Ols::Bool (*)();
    using RdmsrCall = Ols::Bool (*)(Ols::Dword, Ols::Dword*, Ols::Dword*);
    auto initialize = reinterpret_cast<InitializeOlsCall>(::dlsym(handle, "InitializeOls"));
    auto rdmsr = reinterpret_cast<RdmsrCall>(::dlsym(handle, "Rdmsr"));
    ASSERT_TRUE(initialize && rdmsr);

    bool permitted = false;
    std::thread probe([&] {
        permitted = ::ioperm(0x2E, 2, 1) == 0;
        ::ioperm(0x2E, 2, 0);
    });
    probe.join();
    if (::geteuid() != 0) {
        EXPECT_FALSE(permitted);
    }

    Ols::Bool answer = -1;
    std::thread caller([&] { answer = initialize(); });
    caller.join();
    EXPECT_EQ(permitted ? 1 : 0, answer);
    Ols::Dword eax = 0, edx = 0;
    EXPECT_EQ(0, rdmsr(0x10, &eax, &edx)) << "unused entry points report failure";
}

} // namespace

#if defined(_WIN32)
// GoogleTest's cases of BrillLamp.dll, each in a process of its own started from the folder its
// test suite names, so the driver's process-wide state and the module search order start afresh
// each time. With a --gtest_ argument the program runs the cases it is given in itself.
#include "tests/windows/WineTest.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace WinTest {
namespace {

std::string ownFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/"));
}

// Runs one case in a child process; its output goes to our console.
bool runChild(const std::string& layout, const std::string& name, std::string& why)
{
    const std::string own = ownFolder();
    const std::string folder = own.substr(0, own.find_last_of("\\/")) + "\\" + layout;
    std::string command = "\"" + folder + "\\lamptests.exe\" --gtest_brief=1 --gtest_filter=" + layout + "." + name;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::fflush(stdout);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &process)) {
        why = "cannot start " + command + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    CloseHandle(process.hThread);
    bool passed = false;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 3);
        why = "timed out";
    } else {
        DWORD code = 1;
        GetExitCodeProcess(process.hProcess, &code);
        passed = code == 0;
        if (!passed)
            why = "exit code " + hex(code);
    }
    CloseHandle(process.hProcess);
    return passed;
}

int runEachApart()
{
    const auto& unit = *::testing::UnitTest::GetInstance();
    int passed = 0;
    int failed = 0;
    for (int s = 0; s < unit.total_test_suite_count(); ++s) {
        const auto& suite = *unit.GetTestSuite(s);
        for (int t = 0; t < suite.total_test_count(); ++t) {
            const char* name = suite.GetTestInfo(t)->name();
            const DWORD start = GetTickCount();
            std::string why;
            const bool ok = runChild(suite.name(), name, why);
            const unsigned long took = GetTickCount() - start;
            (ok ? passed : failed)++;
            std::printf(ok ? "[  OK  ] %s.%s (%lu ms)\n" : "[FAILED] %s.%s (%lu ms): %s\n", suite.name(), name, took,
                        why.c_str());
            std::fflush(stdout);
        }
    }
    std::printf("Lamp tests: %d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

// A crash ends the case at once with the exception's code, without Wine's debugger.
LONG WINAPI crashed(EXCEPTION_POINTERS* exception)
{
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    std::printf("    crashed: exception 0x%08lX\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    ExitProcess(code);
}

} // namespace

void fail(const std::string& text, const char* file, int line)
{
    ADD_FAILURE_AT(file, line) << text;
    throw std::runtime_error("the case ended at its first failed check");
}

std::string hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string environment(const char* name)
{
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

int environmentNumber(const char* name)
{
    const std::string value = environment(name);
    if (value.empty())
        fail(std::string(name) + " is not set (run through scripts/windows-tests.sh)", __FILE__, __LINE__);
    return std::atoi(value.c_str());
}

} // namespace WinTest

int main(int argc, char** argv)
{
    // No error boxes: a crashing case must end its process, not wait for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    bool apart = true;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_", 8) == 0)
            apart = false;
    ::testing::InitGoogleTest(&argc, argv);
    if (apart)
        return WinTest::runEachApart();
    SetUnhandledExceptionFilter(WinTest::crashed);
    return RUN_ALL_TESTS();
}
#endif

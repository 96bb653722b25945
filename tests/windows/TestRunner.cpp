#if defined(_WIN32)
#include "TestRunner.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

namespace WinTest {
namespace {

struct Case {
    const char* name;
    Layout layout;
    void (*body)();
};

struct CaseFailed {
    std::string text;
};

std::vector<Case>& cases() {
    static std::vector<Case> all;
    return all;
}

const char* layoutFolder(Layout layout) {
    switch (layout) {
    case Layout::Main: return "main";
    case Layout::Lacking: return "lacking";
    case Layout::InitFails: return "initfails";
    case Layout::NoModule: return "nomodule";
    }
    return "main";
}

std::string ownFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/"));
}

// Runs one case in a child process; its output goes to our console.
bool runChild(const Case& c, std::string& why) {
    const std::string parent = ownFolder().substr(0, ownFolder().find_last_of("\\/"));
    const std::string folder = parent + "\\" + layoutFolder(c.layout);
    std::string command = "\"" + folder + "\\lamptests.exe\" --case " + c.name;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::fflush(stdout);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
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
        if (!passed) why = "exit code " + hex(code);
    }
    CloseHandle(process.hProcess);
    return passed;
}

int runAll(const char* only) {
    int passed = 0;
    int failed = 0;
    for (const Case& c : cases()) {
        if (only && std::string(only) != c.name) continue;
        const DWORD start = GetTickCount();
        std::string why;
        const bool ok = runChild(c, why);
        const DWORD took = GetTickCount() - start;
        if (ok) {
            ++passed;
            std::printf("[  OK  ] %s (%lu ms)\n", c.name, static_cast<unsigned long>(took));
        } else {
            ++failed;
            std::printf("[FAILED] %s (%lu ms): %s\n", c.name, static_cast<unsigned long>(took),
                        why.c_str());
        }
        std::fflush(stdout);
    }
    std::printf("Windows tests: %d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 && passed > 0 ? 0 : 1;
}

// A crash ends the case at once with the exception's code, without Wine's debugger.
LONG WINAPI crashed(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    std::printf("    crashed: exception 0x%08lX\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    ExitProcess(code);
}

int runCase(const std::string& name) {
    SetUnhandledExceptionFilter(crashed);
    for (const Case& c : cases()) {
        if (name != c.name) continue;
        try {
            c.body();
            return 0;
        } catch (const CaseFailed& failure) {
            std::printf("    %s: %s\n", c.name, failure.text.c_str());
        } catch (const std::exception& e) {
            std::printf("    %s: exception %s\n", c.name, e.what());
        }
        std::fflush(stdout);
        return 1;
    }
    std::printf("    no case named %s\n", name.c_str());
    return 1;
}

}  // namespace

Register::Register(const char* name, Layout layout, void (*body)()) {
    cases().push_back(Case{name, layout, body});
}

void fail(const std::string& text, const char* file, int line) {
    std::string where(file);
    where = where.substr(where.find_last_of("\\/") + 1);
    throw CaseFailed{where + ":" + std::to_string(line) + ": " + text};
}

std::string hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string environment(const char* name) {
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

int environmentNumber(const char* name) {
    const std::string value = environment(name);
    if (value.empty()) fail(std::string(name) + " is not set (run through scripts/windows-tests.sh)",
                            __FILE__, __LINE__);
    return std::atoi(value.c_str());
}

}  // namespace WinTest

int main(int argc, char** argv) {
    // No error boxes: a crashing case must end its process, not wait for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (argc == 3 && std::string(argv[1]) == "--case") return WinTest::runCase(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--only") return WinTest::runAll(argv[2]);
    return WinTest::runAll(nullptr);
}
#endif

#pragma once
// A small runner for the Windows tests: every case runs in a child process of its own, beside
// the BrillLamp.dll and WinRing0.dll of its layout, so the driver's process-wide state and the
// module search order start afresh each time.
#include <string>

namespace WinTest {

// Folder beside the runner's folder that holds the case's program and modules.
enum class Layout { Main, Lacking, InitFails, NoModule };

struct Register {
    Register(const char* name, Layout layout, void (*body)());
};

[[noreturn]] void fail(const std::string& text, const char* file, int line);
std::string hex(unsigned long value);
std::string environment(const char* name);  // empty when unset
int environmentNumber(const char* name);    // fails the case when unset

}  // namespace WinTest

#define WT_CASE(name, layout)                                                             \
    static void name();                                                                   \
    static const WinTest::Register name##Registered(#name, WinTest::Layout::layout, name); \
    static void name()

#define WT_CHECK(cond) ((cond) ? (void)0 : WinTest::fail(#cond, __FILE__, __LINE__))

#define WT_EQ(actual, expected)                                                                \
    do {                                                                                       \
        const unsigned long wtActual = static_cast<unsigned long>(actual);                    \
        const unsigned long wtExpected = static_cast<unsigned long>(expected);                \
        if (wtActual != wtExpected)                                                            \
            WinTest::fail(std::string(#actual " is ") + WinTest::hex(wtActual) + ", expected " + \
                              WinTest::hex(wtExpected),                                        \
                          __FILE__, __LINE__);                                                 \
    } while (false)

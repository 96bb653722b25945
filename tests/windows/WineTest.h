#pragma once
// Checks of the Windows tests, on top of GoogleTest. A case's test suite names the folder it
// runs in (Main, Lacking, InitFails, NoModule): the program beside BrillLamp.dll and one
// WinRing0.dll variant. fail() may be called from helpers that return a value: it records the
// failure and ends the case.
#include <gtest/gtest.h>

#include <string>

namespace WinTest {

[[noreturn]] void fail(const std::string& text, const char* file, int line);
std::string hex(unsigned long value);
std::string environment(const char* name); // empty when unset
int environmentNumber(const char* name); // fails the case when unset

} // namespace WinTest

#define WT_CHECK(cond) ((cond) ? (void)0 : WinTest::fail(#cond, __FILE__, __LINE__))

#define WT_EQ(actual, expected)                                                                                        \
    do {                                                                                                               \
        const unsigned long wtActual = static_cast<unsigned long>(actual);                                             \
        const unsigned long wtExpected = static_cast<unsigned long>(expected);                                         \
        if (wtActual != wtExpected)                                                                                    \
            WinTest::fail(std::string(#actual " is ") + WinTest::hex(wtActual) + ", expected " +                       \
                              WinTest::hex(wtExpected),                                                                \
                          __FILE__, __LINE__);                                                                         \
    } while (false)

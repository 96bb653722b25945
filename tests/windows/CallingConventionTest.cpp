#if defined(_WIN32) && defined(__i386__)
// InitBrillLamp is __stdcall: the callee removes its two arguments. The probe calls a function
// with two int arguments and reports how far the stack pointer moved across the call: 0 for a
// callee that cleans up, -8 for one that leaves the arguments to the caller.
#include "tests/windows/LampModule.h"

#include <gtest/gtest.h>

extern "C" int lampProbeCall(const void* function, int first, int second, int* stackShift);

asm(".text\n"
    ".globl _lampProbeCall\n"
    "_lampProbeCall:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    movl %esp, %esi\n"
    "    pushl 16(%ebp)\n"
    "    pushl 12(%ebp)\n"
    "    call *8(%ebp)\n"
    "    movl %esp, %ebx\n"
    "    subl %esi, %ebx\n"
    "    movl %esi, %esp\n"
    "    movl 20(%ebp), %ecx\n"
    "    movl %ebx, (%ecx)\n"
    "    movzbl %al, %eax\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n");

namespace {

volatile int probeSink;

bool __cdecl callerCleans(int first, int second)
{
    probeSink = first + second;
    return true;
}

bool __stdcall calleeCleans(int first, int second)
{
    probeSink = first - second;
    return true;
}

} // namespace

TEST(Main, StackProbeTellsConventionsApart)
{
    int shift = 1;
    ASSERT_EQ(lampProbeCall(reinterpret_cast<const void*>(&callerCleans), 2, 3, &shift), 1);
    ASSERT_EQ(static_cast<unsigned>(-shift), 8u);
    ASSERT_EQ(5, static_cast<int>(probeSink));
    ASSERT_EQ(lampProbeCall(reinterpret_cast<const void*>(&calleeCleans), 7, 3, &shift), 1);
    ASSERT_EQ(shift, 0);
    ASSERT_EQ(4, static_cast<int>(probeSink));
}

TEST(Main, InitBrillLampRemovesItsArguments)
{
    WinTest::Chip chip;
    WinTest::BrillLamp lamp;
    const void* init = reinterpret_cast<const void*>(lamp.InitBrillLamp);
    int moved = 0;
    for (int i = 0; i < 300; ++i) {
        int shift = 1;
        ASSERT_EQ(lampProbeCall(init, 9 + i, 0, &shift), 0);
        moved += shift;
    }
    ASSERT_EQ(moved, 0);
    for (int i = 0; i < 100; ++i) {
        int shift = 1;
        ASSERT_EQ(lampProbeCall(init, 6, 0, &shift), 1);
        moved += shift;
    }
    ASSERT_EQ(moved, 0);
    // The arguments arrived in order: lamp type 6 ended with its colours off.
    ASSERT_EQ(chip.readByte(0xA09) & 0x08, 0x08);

    // Called through the typed pointer as the service calls it, many times over.
    bool all = true;
    for (int i = 0; i < 300; ++i)
        all = lamp.InitBrillLamp(6, 0) && all;
    ASSERT_TRUE(all);
}
#endif

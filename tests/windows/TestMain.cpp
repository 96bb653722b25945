#if defined(_WIN32)
// The main of the Windows test programs. ctest starts each case in a process of its own (for
// lamptests from the folder its test suite names, so the driver's process-wide state and the
// module search order start afresh) and reads the case list from standard output.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

// A crash ends the case at once with the exception's code, without Wine's debugger.
LONG WINAPI crashed(EXCEPTION_POINTERS* exception)
{
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    std::printf("    crashed: exception 0x%08lX\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    ExitProcess(code);
}

} // namespace

int main(int argc, char** argv)
{
    // No error boxes: a crashing case must end its process, not wait for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Lines end in LF alone, as ctest's reading of the case list expects.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    ::testing::InitGoogleTest(&argc, argv);
    SetUnhandledExceptionFilter(crashed);
    return RUN_ALL_TESTS();
}
#endif

#pragma once
// The driver's eleven exports, bound by name in this process as the service binds them:
// BrillLamp.dll by its bare name on Windows, the built libBrillLamp.so elsewhere. A library or an
// export that is missing throws: GoogleTest fails the case with the text.
#include "lampdriver/ExportConvention.h"

namespace DriverTest {

struct LampExports {
    using Init = bool(LAMP_STDCALL*)(int lampType, int comPort);
    using Call = bool (*)();
    using Action = void (*)();

    LampExports();

    void* module;
    Init InitBrillLamp;
    Call InitAutoBrillLamp;
    Action CloseConnectBrillLamp;
    Action RedOpenBrillLamp, RedCloseBrillLamp;
    Action GreenOpenBrillLamp, GreenCloseBrillLamp;
    Action BlueOpenBrillLamp, BlueCloseBrillLamp;
    Action YellowOpenBrillLamp, YellowCloseBrillLamp;

    // One of the actions by its export's name.
    Action action(const char* name) const;

private:
    static void* open(); // Windows.../Posix...: the library, or throws
    void* bind(const char* name) const; // Windows.../Posix...: the export, or null
    template <typename T>
    T bound(const char* name) const;
};

} // namespace DriverTest

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

    void* module = open();
    Init InitBrillLamp = bound<Init>("InitBrillLamp");
    Call InitAutoBrillLamp = bound<Call>("InitAutoBrillLamp");
    Action CloseConnectBrillLamp = action("CloseConnectBrillLamp");
    Action RedOpenBrillLamp = action("RedOpenBrillLamp");
    Action RedCloseBrillLamp = action("RedCloseBrillLamp");
    Action GreenOpenBrillLamp = action("GreenOpenBrillLamp");
    Action GreenCloseBrillLamp = action("GreenCloseBrillLamp");
    Action BlueOpenBrillLamp = action("BlueOpenBrillLamp");
    Action BlueCloseBrillLamp = action("BlueCloseBrillLamp");
    Action YellowOpenBrillLamp = action("YellowOpenBrillLamp");
    Action YellowCloseBrillLamp = action("YellowCloseBrillLamp");

    // One of the actions by its export's name.
    Action action(const char* name) const;

private:
    static void* open(); // Windows.../Posix...: the library, or throws
    void* bind(const char* name) const; // Windows.../Posix...: the export, or null
    template <typename T>
    T bound(const char* name) const;
};

} // namespace DriverTest

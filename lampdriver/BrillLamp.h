#pragma once

// The lamp driver's exported C interface.
//
// Thread safety: every export may be called from any thread at any time. The colour functions of
// different colours run side by side through their 50 ms wait and then switch one after the
// other, so colours that share a register never undo each other; initialisation and closing wait
// for a colour that is being switched.

#include "lampdriver/ExportConvention.h"

// Exported from the driver itself; a plain declaration for a program that binds the exports at run
// time (its entry point types are taken from here).
#if defined(BrillLamp_EXPORTS)
#define BRILL_LAMP_API LAMP_EXPORT
#else
#define BRILL_LAMP_API
#endif
#define BRILL_LAMP_STDCALL LAMP_STDCALL

extern "C" {
BRILL_LAMP_API bool BRILL_LAMP_STDCALL InitBrillLamp(int lampType, int comPort);
BRILL_LAMP_API bool InitAutoBrillLamp();
BRILL_LAMP_API void CloseConnectBrillLamp();
BRILL_LAMP_API void RedOpenBrillLamp();
BRILL_LAMP_API void RedCloseBrillLamp();
BRILL_LAMP_API void GreenOpenBrillLamp();
BRILL_LAMP_API void GreenCloseBrillLamp();
BRILL_LAMP_API void BlueOpenBrillLamp();
BRILL_LAMP_API void BlueCloseBrillLamp();
BRILL_LAMP_API void YellowOpenBrillLamp();
BRILL_LAMP_API void YellowCloseBrillLamp();
}

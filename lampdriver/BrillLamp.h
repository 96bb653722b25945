#pragma once

// The lamp driver's exported C interface.

#if defined(_WIN32)
#define BRILL_LAMP_API __declspec(dllexport)
#else
#define BRILL_LAMP_API __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define BRILL_LAMP_STDCALL __stdcall
#else
#define BRILL_LAMP_STDCALL
#endif

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

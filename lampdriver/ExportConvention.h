#pragma once

// How the lamp driver and the port-access modules export their C entry points, and the calling
// convention of those that take arguments on 32-bit Windows.

#if defined(_WIN32) && !defined(_WIN64)
#define LAMP_STDCALL __stdcall
#else
#define LAMP_STDCALL
#endif

#if defined(_WIN32)
#define LAMP_EXPORT __declspec(dllexport)
#else
#define LAMP_EXPORT __attribute__((visibility("default")))
#endif

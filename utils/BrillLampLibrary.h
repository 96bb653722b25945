#pragma once

#include "DynamicLibrary.h"
#include "Singleton.h"

#if defined(_WIN32) && !defined(_WIN64)
#define BRILL_LAMP_CALL __stdcall
#else
#define BRILL_LAMP_CALL
#endif

namespace Norvik::Utils {

// The driver library "BrillLamp", loaded once per process; one entry point per export, null
// while it is not bound. Forwarding methods whose entry point is null call nothing.
class BrillLampLibrary : public DynamicLibrary, public Singleton<BrillLampLibrary> {
public:
    ~BrillLampLibrary() override;

    // Also clears the entry points, so nothing calls into the freed module.
    void unload() override;

    bool initBrillLamp(int lampType, int comPort);
    void closeConnectBrillLamp();
    void redOpenBrillLamp();
    void redCloseBrillLamp();
    void greenOpenBrillLamp();
    void greenCloseBrillLamp();
    void blueOpenBrillLamp();
    void blueCloseBrillLamp();

protected:
    void loadMethods() override;
    std::list<std::wstring> getLibraryNames() const override;

private:
    friend class Singleton<BrillLampLibrary>;
    BrillLampLibrary();

    using BoolCall = bool (*)();
    using InitCall = bool(BRILL_LAMP_CALL*)(int, int);
    using VoidCall = void (*)();

    BoolCall initAutoBrillLampEntry = nullptr;
    InitCall initBrillLampEntry = nullptr;
    VoidCall closeConnectBrillLampEntry = nullptr;
    VoidCall redOpenBrillLampEntry = nullptr;
    VoidCall redCloseBrillLampEntry = nullptr;
    VoidCall greenOpenBrillLampEntry = nullptr;
    VoidCall greenCloseBrillLampEntry = nullptr;
    VoidCall blueOpenBrillLampEntry = nullptr;
    VoidCall blueCloseBrillLampEntry = nullptr;
    VoidCall yellowOpenBrillLampEntry = nullptr;
    VoidCall yellowCloseBrillLampEntry = nullptr;
};

} // namespace Norvik::Utils

#pragma once

#include "utils/loader/DynamicLibrary.h"
#include "utils/loader/Singleton.h"

#include "lampdriver/BrillLamp.h"

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

    // The driver's own declarations, so the two can never drift apart.
    using BoolCall = decltype(&InitAutoBrillLamp);
    using InitCall = decltype(&InitBrillLamp);
    using VoidCall = decltype(&CloseConnectBrillLamp);

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

#include "utils/loader/BrillLampLibrary.h"

#include "utils/loader/Module.h"

namespace Norvik::Utils {

BrillLampLibrary::BrillLampLibrary() = default;

BrillLampLibrary::~BrillLampLibrary() = default;

void BrillLampLibrary::unload()
{
    DynamicLibrary::unload();
    // Entry points into a freed module must not stay callable.
    loadMethods();
}

bool BrillLampLibrary::initBrillLamp(int lampType, int comPort)
{
    return initBrillLampEntry != nullptr && initBrillLampEntry(lampType, comPort);
}

namespace {

void call(void (*entry)())
{
    if (entry != nullptr) {
        entry();
    }
}

} // namespace

void BrillLampLibrary::closeConnectBrillLamp()
{
    call(closeConnectBrillLampEntry);
}

void BrillLampLibrary::redOpenBrillLamp()
{
    call(redOpenBrillLampEntry);
}

void BrillLampLibrary::redCloseBrillLamp()
{
    call(redCloseBrillLampEntry);
}

void BrillLampLibrary::greenOpenBrillLamp()
{
    call(greenOpenBrillLampEntry);
}

void BrillLampLibrary::greenCloseBrillLamp()
{
    call(greenCloseBrillLampEntry);
}

void BrillLampLibrary::blueOpenBrillLamp()
{
    call(blueOpenBrillLampEntry);
}

void BrillLampLibrary::blueCloseBrillLamp()
{
    call(blueCloseBrillLampEntry);
}

void BrillLampLibrary::loadMethods()
{
    initAutoBrillLampEntry = getMethodAs<BoolCall>("InitAutoBrillLamp");
    initBrillLampEntry = getMethodAs<InitCall>("InitBrillLamp");
    closeConnectBrillLampEntry = getMethodAs<VoidCall>("CloseConnectBrillLamp");
    redOpenBrillLampEntry = getMethodAs<VoidCall>("RedOpenBrillLamp");
    redCloseBrillLampEntry = getMethodAs<VoidCall>("RedCloseBrillLamp");
    greenOpenBrillLampEntry = getMethodAs<VoidCall>("GreenOpenBrillLamp");
    greenCloseBrillLampEntry = getMethodAs<VoidCall>("GreenCloseBrillLamp");
    blueOpenBrillLampEntry = getMethodAs<VoidCall>("BlueOpenBrillLamp");
    blueCloseBrillLampEntry = getMethodAs<VoidCall>("BlueCloseBrillLamp");
    yellowOpenBrillLampEntry = getMethodAs<VoidCall>("YellowOpenBrillLamp");
    yellowCloseBrillLampEntry = getMethodAs<VoidCall>("YellowCloseBrillLamp");
}

std::list<std::wstring> BrillLampLibrary::getLibraryNames() const
{
    return {Module::libraryFileName(L"BrillLamp")};
}

} // namespace Norvik::Utils

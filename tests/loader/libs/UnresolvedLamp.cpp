// Links, but cannot be loaded with every symbol bound at once: lampBoardPresent exists nowhere.
#define LAMP_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" bool lampBoardPresent();

LAMP_EXPORT bool InitBrillLamp(int, int)
{
    return lampBoardPresent();
}

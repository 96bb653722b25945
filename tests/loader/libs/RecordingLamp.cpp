// A stand-in for the lamp driver: each export appends its name (and arguments) as one line to the
// file named by LOADER_LAMP_RECORD. OMIT_<EXPORT> leaves that export out.
#include <cstdio>
#include <cstdlib>

#define LAMP_EXPORT extern "C" __attribute__((visibility("default")))
#define LAMP_SWITCH(name)                                                                                              \
    LAMP_EXPORT void name()                                                                                            \
    {                                                                                                                  \
        record(#name);                                                                                                 \
    }

namespace {

void record(const char* line)
{
    const char* file = std::getenv("LOADER_LAMP_RECORD");
    FILE* out = file != nullptr ? std::fopen(file, "a") : nullptr;
    if (out != nullptr) {
        std::fprintf(out, "%s\n", line);
        std::fclose(out);
    }
}

} // namespace

LAMP_EXPORT bool InitAutoBrillLamp()
{
    record("InitAutoBrillLamp");
    return true;
}

#if !defined(OMIT_INIT)
LAMP_EXPORT bool InitBrillLamp(int lampType, int comPort)
{
    char line[64];
    std::snprintf(line, sizeof line, "InitBrillLamp %d %d", lampType, comPort);
    record(line);
    return lampType >= 0 && lampType <= 7;
}
#endif

LAMP_SWITCH(CloseConnectBrillLamp)
#if !defined(OMIT_RED_OPEN)
LAMP_SWITCH(RedOpenBrillLamp)
#endif
LAMP_SWITCH(RedCloseBrillLamp)
LAMP_SWITCH(GreenOpenBrillLamp)
LAMP_SWITCH(GreenCloseBrillLamp)
LAMP_SWITCH(BlueOpenBrillLamp)
LAMP_SWITCH(BlueCloseBrillLamp)
LAMP_SWITCH(YellowOpenBrillLamp)
#if !defined(OMIT_YELLOW_CLOSE)
LAMP_SWITCH(YellowCloseBrillLamp)
#endif

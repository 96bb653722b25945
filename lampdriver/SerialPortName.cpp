#include "lampdriver/SerialPort.h"

#include <cstdio>

namespace BrillLamp {

std::string serialPortName(int number)
{
    char name[50];
    std::snprintf(name, sizeof name, static_cast<unsigned>(number) < 10 ? "COM%d" : "\\\\.\\COM%d",
                  number);
    return name;
}

} // namespace BrillLamp

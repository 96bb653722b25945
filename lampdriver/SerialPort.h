#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace BrillLamp {

// An OS handle of an open serial port, as an integer so that no platform header leaks here.
using PortHandle = std::intptr_t;
constexpr PortHandle InvalidPort = -1;

// "COM%d" below 10 as unsigned, else the device-namespace form "\\.\COM%d".
std::string serialPortName(int number);

// Opens the named port for exclusive use; InvalidPort when that fails. Sends nothing.
PortHandle openSerialPort(const std::string& name);
// 9600 baud, 8 data bits, 1 stop bit, no parity checking; the parity setting is kept.
void configureSerialPort(PortHandle port);
bool writeSerialPort(PortHandle port, const std::uint8_t* bytes, std::size_t count);
void purgeSerialInput(PortHandle port);
void closeSerialPort(PortHandle port);

} // namespace BrillLamp

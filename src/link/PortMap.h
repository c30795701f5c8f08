#pragma once

#include <QString>

// Port numbers 1..18 stand for serial devices. On Windows port n is "COMn". On
// Linux COM1-COM4 are /dev/ttyS0-3, COM5-COM9 /dev/ttyACM0-4 and COM10-COM18
// /dev/ttyUSB0-8, so COM10, opened at start-up, is the first USB serial
// adapter. The environment variable MERLAX_COM<n> replaces the device of port n
// (for example MERLAX_COM10=/dev/serial/by-id/usb-...).
namespace PortMap {
inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 18;

// The device that port n stands for now; empty for a number outside 1..18.
QString DeviceForPort(int port);
// The name of the environment variable that overrides port n.
QString OverrideVariable(int port);
} // namespace PortMap

#pragma once

#include <QString>

#include <array>
#include <variant>

// Port numbers 1..18 stand for serial devices. On Windows port n is "COMn". On
// Linux COM1-COM4 are /dev/ttyS0-3, COM5-COM9 /dev/ttyACM0-4 and COM10-COM18
// /dev/ttyUSB0-8, so COM10, opened at start-up, is the first USB serial
// adapter. The environment variable MERLAX_COM<n> replaces the device of port
// n (for example MERLAX_COM10=/dev/serial/by-id/usb-...), and a program may
// assign a port a device of its own, which goes before both.
// A port as the operator gives it: a whole number stands for a port number
// (valid or not), anything else is a device's path.
std::variant<int, QString> parsePortRef(const QString& text);

class PortMap {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 18;

    // The device that port n stands for now; empty for a number outside 1..18.
    QString deviceForPort(int port) const;
    // Port n stands for `device` from now on, whatever the environment says.
    void assign(int port, const QString& device);

    // The name of the environment variable that overrides port n.
    static QString overrideVariable(int port);
    static bool validPort(int port) { return port >= kFirstPort && port <= kLastPort; }

private:
    std::array<QString, kLastPort + 1> Assigned;
};

#pragma once

#include <QString>

class QSerialPort;

// Line settings in the form "115200,N,8,1": baud rate, parity, data bits, stop
// bits.
namespace LineSettings {
inline const QString kBootloader = QStringLiteral("115200,N,8,1");
inline const QString kApplication = QStringLiteral("38400,N,8,1");

// Applies the settings to the port (open or not); false when the text is not
// a valid setting or the port refuses it.
bool apply(QSerialPort& port, const QString& settings);
} // namespace LineSettings

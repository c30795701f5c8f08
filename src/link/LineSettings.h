#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

// Line settings in the form "115200,N,8,1": baud rate, parity, data bits, stop
// bits.
namespace LineSettings {
inline const QString kBootloader = QStringLiteral("115200,N,8,1");
inline const QString kApplication = QStringLiteral("38400,N,8,1");

struct Line {
    qint32 baud = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// The line a settings text describes; nothing when it is not a valid setting.
std::optional<Line> parse(const QString& settings);
} // namespace LineSettings

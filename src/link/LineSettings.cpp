#include "LineSettings.h"

#include <QStringList>

namespace LineSettings {

std::optional<Line> parse(const QString& settings) {
    const QStringList fields = settings.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;
    Line line;
    bool ok = false;
    line.baud = fields[0].toInt(&ok);
    if (!ok || line.baud <= 0)
        return std::nullopt;

    const QString p = fields[1].trimmed().toUpper();
    if (p == QLatin1String("E"))
        line.parity = QSerialPort::EvenParity;
    else if (p == QLatin1String("O"))
        line.parity = QSerialPort::OddParity;
    else if (p != QLatin1String("N"))
        return std::nullopt;

    const int dataBits = fields[2].toInt();
    const int stopBits = fields[3].toInt();
    if (dataBits < 5 || dataBits > 8 || (stopBits != 1 && stopBits != 2))
        return std::nullopt;
    line.dataBits = static_cast<QSerialPort::DataBits>(dataBits);
    line.stopBits = stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop;
    return line;
}

} // namespace LineSettings

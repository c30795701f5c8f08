#include "LineSettings.h"

#include <QSerialPort>
#include <QStringList>

namespace LineSettings {

namespace {
// The baud rate named by a settings text, or 0.
int baudRate(const QString& settings) {
    bool ok = false;
    const int baud = settings.section(QLatin1Char(','), 0, 0).toInt(&ok);
    return ok && baud > 0 ? baud : 0;
}
} // namespace

bool apply(QSerialPort& port, const QString& settings) {
    const QStringList fields = settings.split(QLatin1Char(','));
    if (fields.size() != 4)
        return false;
    const int baud = baudRate(settings);

    QSerialPort::Parity parity = QSerialPort::NoParity;
    const QString p = fields[1].trimmed().toUpper();
    if (p == QLatin1String("E"))
        parity = QSerialPort::EvenParity;
    else if (p == QLatin1String("O"))
        parity = QSerialPort::OddParity;
    else if (p != QLatin1String("N"))
        return false;

    const int dataBits = fields[2].toInt();
    const int stopBits = fields[3].toInt();
    if (baud == 0 || dataBits < 5 || dataBits > 8 || (stopBits != 1 && stopBits != 2))
        return false;

    bool ok = port.setBaudRate(baud);
    ok = port.setParity(parity) && ok;
    ok = port.setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) && ok;
    ok = port.setStopBits(stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop) && ok;
    ok = port.setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

} // namespace LineSettings

#include "PortMap.h"

#include "OperatorNumber.h"

#include <QtGlobal>

#include <limits>

namespace {
QString platformDevice(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    if (port <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    if (port <= 9)
        return QStringLiteral("/dev/ttyACM%1").arg(port - 5);
    return QStringLiteral("/dev/ttyUSB%1").arg(port - 10);
#endif
}
} // namespace

std::variant<int, QString> parsePortRef(const QString& text) {
    if (const std::optional<long> number = OperatorNumber::scriptNumber(text))
        return static_cast<int>(std::min<long>(*number, std::numeric_limits<int>::max()));
    return text;
}

QString PortMap::overrideVariable(int port) {
    return QStringLiteral("MERLAX_COM%1").arg(port);
}

QString PortMap::deviceForPort(int port) const {
    if (port < kFirstPort || port > kLastPort)
        return {};
    if (const QString& assigned = Assigned[static_cast<size_t>(port)]; !assigned.isEmpty())
        return assigned;
    const QString overridden = qEnvironmentVariable(overrideVariable(port).toLatin1().constData());
    return overridden.isEmpty() ? platformDevice(port) : overridden;
}

void PortMap::assign(int port, const QString& device) {
    if (port >= kFirstPort && port <= kLastPort)
        Assigned[static_cast<size_t>(port)] = device;
}

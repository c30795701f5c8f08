#include "PortMap.h"

#include <QtGlobal>

namespace PortMap {

QString OverrideVariable(int port) {
    return QStringLiteral("MERLAX_COM%1").arg(port);
}

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

QString DeviceForPort(int port) {
    if (port < kFirstPort || port > kLastPort)
        return {};
    const QString overridden = qEnvironmentVariable(OverrideVariable(port).toLatin1().constData());
    return overridden.isEmpty() ? platformDevice(port) : overridden;
}

} // namespace PortMap

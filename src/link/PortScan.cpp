#include "PortScan.h"

#include <QSerialPort>

#include <algorithm>

void PortScan::ScanCommsPorts() {
    FirstAvailablePort = PortMap::kLastPort;
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        PortAvailable[static_cast<size_t>(n)] = false;
        QSerialPort probe;
        probe.setPortName(Ports.deviceForPort(n));
        if (probe.open(QIODevice::ReadWrite)) {
            probe.close();
            PortAvailable[static_cast<size_t>(n)] = true;
            ++NumPortsAvailable;
            FirstAvailablePort = std::min(FirstAvailablePort, n);
        }
    }
}

bool PortScan::portAvailable(int port) const {
    return port >= PortMap::kFirstPort && port <= PortMap::kLastPort &&
           PortAvailable[static_cast<size_t>(port)];
}

int PortScan::redirect(int port) const {
    if (NumPortsAvailable > 0 && !portAvailable(port) && portAvailable(FirstAvailablePort))
        return FirstAvailablePort;
    return port;
}

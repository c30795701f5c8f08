#pragma once

#include "PortMap.h"

#include <array>

// Which ports can be opened: the last scan's findings, and where a port it
// did not find leads instead. The scan talks to no module; a port counts as
// available exactly when it can be opened at that moment.
class PortScan {
public:
    explicit PortScan(const PortMap& ports) : Ports(ports) {}

    // Tries to open every port, one after the other. The port of the link
    // must be closed meanwhile, or it would count as missing.
    void ScanCommsPorts();

    bool portAvailable(int port) const;
    int firstAvailablePort() const { return FirstAvailablePort; }
    // Ports found, added up over every scan so far (as the windows always
    // have counted them).
    int numPortsAvailable() const { return NumPortsAvailable; }
    // The port to open when `port` is asked for: the first one the last scan
    // found, when it did not find `port`; `port` itself before any scan, or
    // when the last scan found nothing.
    int redirect(int port) const;

private:
    const PortMap& Ports;
    std::array<bool, PortMap::kLastPort + 1> PortAvailable{};
    int FirstAvailablePort = PortMap::kLastPort;
    int NumPortsAvailable = 0;
};

#pragma once

#include "CommandExchange.h"
#include "CommsLink.h"
#include "RecordingReporter.h"
#include "TargetSession.h"
#include "VirtualModule.h"

#include <memory>

// Points every port number at a device that does not exist, so that a test
// never touches the machine's real serial ports; MapPort then gives single
// ports a device.
void UnmapAllPorts();
void MapPort(int port, const QString& device);

// An identity with every field set to a value of its own: system 1,
// sub-system 10, serial 4660, ID bytes 11 22 33, bootloader 1.05 with
// capabilities 3, application 2.07, last error 9 (InvParam), processor values
// 30..33, information bytes "ABC123" C1 C2 C3 C4.
ModuleIdentity SampleIdentity();

// Whether this process may hang a line up (TIOCVHANGUP needs CAP_SYS_ADMIN).
bool CanHangUpLines();

// Process CPU time (user + system) in milliseconds.
double CpuMilliseconds();

// The core as the application wires it, on COM10, with a virtual module on the
// other end of a pseudo-terminal.
struct ModuleRig {
    ModuleRig();
    ~ModuleRig();

    RecordingReporter reporter;
    CommandExchange exchange;
    VirtualModule module;
    std::unique_ptr<CommsLink> link;
    std::unique_ptr<TargetSession> target;
};

#pragma once

#include "BootloaderCore.h"
#include "CommandExchange.h"
#include "CommsLink.h"
#include "Maintenance.h"
#include "Operations.h"
#include "RecordingReporter.h"
#include "TargetSession.h"
#include "VirtualModule.h"

#include <memory>

// Points every port number at a device that does not exist, so that a test
// never touches the machine's real serial ports; MapPort then gives single
// ports a device.
void UnmapAllPorts();
void MapPort(int port, const QString& device);

// Short time-outs, so that only the tests about a time-out wait real time.
// The inter-byte limit stays as it is: tests of gaps inside a reply need it.
LinkTimings FastTimings();

// An identity with every field set to a value of its own: system 1,
// sub-system 10, serial 4660, ID bytes 11 22 33, bootloader 1.05 with
// capabilities 3, application 2.07, last error 9 (InvParam), processor values
// 30..33, information bytes "ABC123" C1 C2 C3 C4.
ModuleIdentity SampleIdentity();

// Whether this process may hang a line up (TIOCVHANGUP needs CAP_SYS_ADMIN).
bool CanHangUpLines();

// Process CPU time (user + system) in milliseconds.
double CpuMilliseconds();

// A frame for the link: element 0 the code, then the data bytes.
OutMsg Message(std::initializer_list<qint16> elements);

// The core as the program builds it, started on COM10, with a virtual module
// on the other end of a pseudo-terminal.
struct ModuleRig {
    explicit ModuleRig(LinkTimings timings = FastTimings());

    RecordingReporter reporter;
    VirtualModule module;
    std::unique_ptr<BootloaderCore> core;

    CommandExchange& exchange() { return core->exchange(); }
    CommsLink& link() { return core->link(); }
    TargetSession& target() { return core->target(); }
    Maintenance& maintenance() { return core->maintenance(); }
    Operations& operations() { return core->operations(); }
    // The hex of every frame the module heard, in order.
    QStringList heard() const;
};

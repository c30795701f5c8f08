#pragma once

#include "BootloaderCore.h"
#include "VirtualModule.h"

#include <memory>

class EventSink;

// A virtual module on a pseudo-terminal and the tool's core on the other end,
// as the window program starts it (COM10): how the tests, the benchmark, the
// soak run and the tools reach a module without hardware and without
// touching the environment. Every other port number stands for a device that
// does not exist, so nothing here ever opens a real port.
class ModuleAndCore {
public:
    explicit ModuleAndCore(EventSink& sink, LinkTimings timings = {});

    // Starts the module, then the core on it; false, with the reason, when
    // the module cannot start.
    bool start(QString* error = nullptr);

    // The core's options that put `module` on COM10 and nothing real on any
    // other port, for a program that builds its own core (the windows).
    static BootloaderCore::Options optionsFor(const VirtualModule& module, LinkTimings timings = {});

    VirtualModule module;
    std::unique_ptr<BootloaderCore> core;

private:
    EventSink& Sink;
    LinkTimings Timings;
};

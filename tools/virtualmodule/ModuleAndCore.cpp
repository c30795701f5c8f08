#include "ModuleAndCore.h"

#include "CommsLink.h"

ModuleAndCore::ModuleAndCore(EventSink& sink, LinkTimings timings) : Sink(sink), Timings(timings) {}

BootloaderCore::Options ModuleAndCore::optionsFor(const VirtualModule& module, LinkTimings timings) {
    BootloaderCore::Options options;
    options.timings = timings;
    for (int port = PortMap::kFirstPort; port <= PortMap::kLastPort; ++port)
        options.portDevices[port] = QStringLiteral("/nonexistent/merlax-com%1").arg(port);
    options.portDevices[CommsLink::kStartPort] = module.devicePath();
    return options;
}

bool ModuleAndCore::start(QString* error) {
    if (!module.start(error))
        return false;
    core = std::make_unique<BootloaderCore>(Sink, optionsFor(module, Timings));
    core->start();
    return true;
}

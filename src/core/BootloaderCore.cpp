#include "BootloaderCore.h"

#include "CommsLink.h"
#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "Maintenance.h"
#include "Operations.h"
#include "SerialAllocation.h"
#include "SerialRecovery.h"
#include "TargetSession.h"

BootloaderCore::BootloaderCore(EventSink& sink, Options options) : Opts(std::move(options)), Report(sink) {
    Link = std::make_unique<CommsLink>(Exchange, Report, Opts.timings);
    for (const auto& [port, device] : Opts.portDevices)
        Link->ports().assign(port, device);
    Target = std::make_unique<TargetSession>(*Link, Report);
    Maint = std::make_unique<Maintenance>(*Link, Report);
    Programmer = std::make_unique<FirmwareProgrammer>(*Link, *Target, *Maint, Report);
    Capture = std::make_unique<FirmwareCapture>(*Link, *Target, Report, Opts.timings.pageTimeoutMs);
    Serials = std::make_unique<SerialAllocation>(*Link, *Target, Report);
    Recovery = std::make_unique<SerialRecovery>(RecoveryBaseURL(Opts.recoveryUrl));
    Ops = std::make_unique<Operations>(*this);
    QObject::connect(&Exchange, &CommandExchange::operationActiveChanged, &Exchange,
                     [this] { Report.changed(Change::OperationRunning); });
}

BootloaderCore::~BootloaderCore() {
    shutdown();
}

void BootloaderCore::start(int port) {
    Link->load(port);
}

void BootloaderCore::shutdown() {
    Exchange.close();
    Recovery->abandon();
    Link->unload();
}

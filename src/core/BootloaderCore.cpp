#include "BootloaderCore.h"

#include "CommsLink.h"
#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "Maintenance.h"
#include "Operations.h"
#include "SerialAllocation.h"
#include "SerialRecovery.h"
#include "TargetSession.h"

BootloaderCore::BootloaderCore(Reporter& reporter, LinkTimings timings) : Report(reporter), Timings(timings) {
    Link = std::make_unique<CommsLink>(Exchange, reporter, Timings);
    Target = std::make_unique<TargetSession>(*Link, reporter);
    Maint = std::make_unique<Maintenance>(*Link, reporter);
    Programmer = std::make_unique<FirmwareProgrammer>(*Link, *Target, *Maint, reporter);
    Capture = std::make_unique<FirmwareCapture>(*Link, *Target, reporter, Timings.pageTimeoutMs);
    Serials = std::make_unique<SerialAllocation>(*Link, *Target, reporter);
    Recovery = std::make_unique<SerialRecovery>();
    Ops = std::make_unique<Operations>(*this);
}

BootloaderCore::~BootloaderCore() {
    shutdown();
}

void BootloaderCore::start() {
    Link->Load();
}

void BootloaderCore::shutdown() {
    Exchange.Close();
    Recovery->abandon();
    Link->Unload();
}

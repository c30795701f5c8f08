#include "BootloaderCore.h"

#include "CommsLink.h"
#include "Maintenance.h"
#include "Operations.h"
#include "TargetSession.h"

BootloaderCore::BootloaderCore(Reporter& reporter, LinkTimings timings) : Timings(timings) {
    Link = std::make_unique<CommsLink>(Exchange, reporter, Timings);
    Target = std::make_unique<TargetSession>(*Link, reporter);
    Maint = std::make_unique<Maintenance>(*Link, reporter);
    Ops = std::make_unique<Operations>(Exchange, *Link, *Target, *Maint);
}

BootloaderCore::~BootloaderCore() {
    shutdown();
}

void BootloaderCore::start() {
    Link->Load();
}

void BootloaderCore::shutdown() {
    Exchange.Close();
    Link->Unload();
}

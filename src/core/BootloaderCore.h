#pragma once

#include "CommandExchange.h"
#include "LinkTimings.h"

#include <memory>

class CommsLink;
class FirmwareCapture;
class FirmwareProgrammer;
class Maintenance;
class Operations;
class Reporter;
class SerialAllocation;
class SerialRecovery;
class TargetSession;

// The core of the tool, built and wired once: the link, the command exchange,
// the connected module and the operations. The program, the windows, the
// tests and the tools all start from it.
class BootloaderCore {
public:
    explicit BootloaderCore(Reporter& reporter, LinkTimings timings = {});
    ~BootloaderCore();
    BootloaderCore(const BootloaderCore&) = delete;
    BootloaderCore& operator=(const BootloaderCore&) = delete;

    // Start-up: bootloader line settings, then COM10.
    void start();
    // The program is closing: the operation that waits ends without sending
    // its next step, and the port is closed.
    void shutdown();

    CommandExchange& exchange() { return Exchange; }
    CommsLink& link() { return *Link; }
    TargetSession& target() { return *Target; }
    Maintenance& maintenance() { return *Maint; }
    FirmwareProgrammer& programmer() { return *Programmer; }
    FirmwareCapture& capture() { return *Capture; }
    SerialAllocation& serials() { return *Serials; }
    SerialRecovery& recovery() { return *Recovery; }
    Reporter& reporter() { return Report; }
    Operations& operations() { return *Ops; }
    const LinkTimings& timings() const { return Timings; }

private:
    Reporter& Report;
    LinkTimings Timings;
    CommandExchange Exchange;
    std::unique_ptr<CommsLink> Link;
    std::unique_ptr<TargetSession> Target;
    std::unique_ptr<Maintenance> Maint;
    std::unique_ptr<FirmwareProgrammer> Programmer;
    std::unique_ptr<FirmwareCapture> Capture;
    std::unique_ptr<SerialAllocation> Serials;
    std::unique_ptr<SerialRecovery> Recovery;
    std::unique_ptr<Operations> Ops;
};

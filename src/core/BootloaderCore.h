#pragma once

#include "CommandExchange.h"
#include "CoreView.h"
#include "LinkTimings.h"
#include "Reporter.h"

#include <QString>

#include <map>
#include <memory>

class CommsLink;
class EventSink;
class FirmwareCapture;
class FirmwareProgrammer;
class Maintenance;
class Operations;
class SerialAllocation;
class SerialRecovery;
class TargetSession;

// The core of the tool, built and wired once: the link, the command exchange,
// the connected module and the operations. The programs, the tests and the
// tools all start from it. It opens no port until its front end asks.
class BootloaderCore {
public:
    struct Options {
        LinkTimings timings;
        // Devices for port numbers, before the environment and the platform's
        // own names (a program that starts its own module, a test).
        std::map<int, QString> portDevices;
        // The recovery server's address; empty: the setting, else the
        // address built in.
        QString recoveryUrl;
    };

    explicit BootloaderCore(EventSink& sink, Options options = {});
    ~BootloaderCore();
    BootloaderCore(const BootloaderCore&) = delete;
    BootloaderCore& operator=(const BootloaderCore&) = delete;

    // The window program's start-up: bootloader line settings, then the port
    // it starts on (COM10 unless told otherwise).
    void start(int port = 10);
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
    // What a front end uses: the operations, and the view of the state.
    Operations& operations() { return *Ops; }
    const CoreView& view() const { return View; }
    const LinkTimings& timings() const { return Opts.timings; }

private:
    Options Opts;
    Reporter Report;
    CommandExchange Exchange;
    std::unique_ptr<CommsLink> Link;
    std::unique_ptr<TargetSession> Target;
    std::unique_ptr<Maintenance> Maint;
    std::unique_ptr<FirmwareProgrammer> Programmer;
    std::unique_ptr<FirmwareCapture> Capture;
    std::unique_ptr<SerialAllocation> Serials;
    std::unique_ptr<SerialRecovery> Recovery;
    std::unique_ptr<Operations> Ops;
    CoreView View{*this};
};

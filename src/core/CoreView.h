#pragma once

#include "CaptureSettings.h"
#include "FirmwareImage.h"
#include "IdBlock.h"
#include "SerialLedger.h"
#include "TargetIdentity.h"

#include <QString>

#include <optional>

class BootloaderCore;

// What a front end may read of the core's state, and nothing it could change.
// It reads it when the event sink says that something changed.
class CoreView {
public:
    explicit CoreView(BootloaderCore& core) : Core(core) {}

    // The module.
    const TargetIdentity& identity() const;
    // A module's identity has been read since the program started.
    bool moduleRead() const;

    // The firmware file loaded for programming.
    const FirmwareImage& firmware() const;
    QString firmwareFile() const;
    bool firmwareLoaded() const;
    // The loaded file suits the module read last.
    bool firmwareMatchesModule() const;

    // The capture pane's settings, and the pages the running capture stored.
    const CaptureSettings& captureSettings() const;
    int pagesCaptured() const;

    // The serial numbers: the ID block to write, the next serial number (none
    // when the log gives none), the memo, the log and what it holds.
    const IdBlock& serialBlock() const;
    std::optional<qint32> nextSerial() const;
    QString memo() const;
    bool serialLogOpen() const;
    QString serialLogName() const;
    const LedgerView& serialLog() const;

    // The port: the one chosen last (0 for a device given by its path), its
    // device, what each number stands for, and what the last scan found.
    int selectedPort() const;
    QString device() const;
    bool portOpen() const;
    QString deviceForPort(int port) const;
    bool portFound(int port) const;

    // An operation holds the gate.
    bool operationRunning() const;

private:
    BootloaderCore& Core;
};

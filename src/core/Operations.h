#pragma once

#include "CommandExchange.h"
#include "OperationResult.h"
#include "SerialLedger.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class BootloaderCore;

// What a front end starts. Each operation takes the one-operation gate for its
// whole run and answers with its result; while another runs it does nothing
// and answers Busy. Operations are built from steps, which never take the gate.
class Operations : public QObject {
    Q_OBJECT
public:
    explicit Operations(BootloaderCore& core, QObject* parent = nullptr);

    // "Connect to Target" and "Read".
    OperationResult RequestTargetID();
    // The identity read without a word on the status lines: is a module there?
    OperationResult probeModule();
    // Ends the operation that runs at its next step (the command in flight
    // completes; a serial number written is still logged), and every later
    // one before it sends anything.
    void stop();
    OperationResult EraseTarget();
    OperationResult WipeTarget();
    OperationResult RestoreSerialBackup();
    // Return at once and show nothing, but hold the gate until the command is
    // settled: Restart until its acknowledgement or time-out,
    // RestartIntoBootloader until the line is back at 115200 baud.
    OperationResult Restart();
    OperationResult RestartIntoBootloader(bool SwitchBaud);
    // Waits (in the event loop) until a restart has settled; how its command
    // ended. Succeeded at once when none is settling.
    Outcome waitUntilSettled();

    // "Load Firmware File". It sends nothing, but it is gated all the same:
    // while another operation runs (programming reads the loaded pages) it
    // changes nothing and answers Busy.
    OperationResult LoadFirmwareFile(const QString& path);
    // "Program Firmware"; `ignoreTargetCheck` programs a file that is not for
    // this module (the Ctrl key at the window's click).
    OperationResult programFirmware(bool ignoreTargetCheck);
    // "Start Upload". The result names the file that holds the pages kept
    // (the chosen file, or its ".partial" after a capture that ended early),
    // and no file when none were kept.
    OperationResult UploadEncryptedFirmware();
    // The serial-number log: not gated, it sends nothing. The result holds
    // the next serial number and the reservations not logged.
    OperationResult openSerialDatabase(const QString& path,
                                       SerialLedger::Sharing sharing = SerialLedger::Sharing::Exclusive);
    // "Prog Only".
    OperationResult WriteSerialNo();
    // "Program and Log".
    OperationResult ProgramAndLogSerialNo();
    // " Prog, Log, Write FW": a logged unit is programmed with the loaded
    // firmware.
    OperationResult progAll(bool ignoreTargetCheck);
    // "Apply": the unit's ID block from the recovery server, written into the
    // module. `serialText` must be six characters.
    OperationResult RecoverSerialNo(const QString& serialText);

private:
    // Runs `body` under the gate and completes its result with what the
    // operation told the operator and the identity it read.
    OperationResult gated(const std::function<void(OperationResult&)>& body);
    OperationResult ungated(const std::function<void(OperationResult&)>& body);
    // Takes the gate for a restart, to be released when its command settles.
    bool takeGateUntilSettled();
    void settle(Outcome outcome);

    BootloaderCore& Core;
    CommandExchange& Exchange;
    // The gate held by a restart whose command has not settled yet.
    std::optional<OperationScope> Settling;
    Outcome Settled = Outcome::Succeeded;

signals:
    void settled();
};

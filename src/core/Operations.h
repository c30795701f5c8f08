#pragma once

#include "CommandExchange.h"

#include <QObject>
#include <QString>

#include <optional>

class BootloaderCore;

// What a front end starts: each operation takes the one-operation gate for its
// whole run and is refused (does nothing) while another runs. They are built
// from steps, which never take the gate.
class Operations : public QObject {
    Q_OBJECT
public:
    explicit Operations(BootloaderCore& core, QObject* parent = nullptr);

    // "Connect to Target" and "Read".
    void RequestTargetID();
    void EraseTarget();
    void WipeTarget();
    void RestoreSerialBackup();
    // Return at once and show nothing, but hold the gate until the command is
    // settled: Restart until its acknowledgement or time-out,
    // RestartIntoBootloader until the line is back at 115200 baud.
    void Restart();
    void RestartIntoBootloader(bool SwitchBaud);

    // "Program Firmware"; `ctrlHeld` is the Ctrl key sampled at the click.
    void ProgramFirmware(bool ctrlHeld);
    // "Start Upload".
    void UploadEncryptedFirmware();
    // "Prog Only".
    void WriteSerialNo();
    // "Program and Log".
    void ProgramAndLogSerialNo();
    // " Prog, Log, Write FW": a logged unit is programmed with the loaded
    // firmware; `ctrlHeld` as for "Program Firmware".
    void ProgAll(bool ctrlHeld);
    // "Apply": the unit's ID block from the recovery server, written into the
    // module. `serialText` must be six characters.
    void RecoverSerialNo(const QString& serialText);

private:
    // Takes the gate for a restart, to be released when its command settles.
    bool takeGateUntilSettled();

    BootloaderCore& Core;
    CommandExchange& Exchange;
    // The gate held by a restart whose command has not settled yet.
    std::optional<OperationScope> Settling;
};

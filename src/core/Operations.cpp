#include "Operations.h"

#include "BootloaderCore.h"
#include "CommsLink.h"
#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "Maintenance.h"
#include "Reporter.h"
#include "SerialAllocation.h"
#include "SerialRecovery.h"
#include "TargetSession.h"

Operations::Operations(BootloaderCore& core, QObject* parent)
    : QObject(parent), Core(core), Exchange(core.exchange()) {
    connect(&Exchange, &CommandExchange::completed, this, [this] {
        if (Settling && !Exchange.GetMessageInProgress())
            Settling.reset();
    });
}

void Operations::RequestTargetID() {
    if (const OperationScope gate(Exchange); gate)
        Core.target().RequestTargetID();
}

void Operations::EraseTarget() {
    if (const OperationScope gate(Exchange); gate)
        Core.maintenance().EraseTarget();
}

void Operations::WipeTarget() {
    if (const OperationScope gate(Exchange); gate)
        Core.maintenance().WipeTarget();
}

void Operations::RestoreSerialBackup() {
    if (const OperationScope gate(Exchange); gate)
        Core.maintenance().RestoreSerialBackup();
}

bool Operations::takeGateUntilSettled() {
    if (Settling)
        return false; // an earlier restart still holds the gate
    Settling.emplace(Exchange);
    if (*Settling)
        return true;
    Settling.reset();
    return false;
}

void Operations::Restart() {
    if (!takeGateUntilSettled())
        return;
    Core.maintenance().Restart();
    // Nothing could be sent (the program is closing): nothing to settle.
    if (!Exchange.GetMessageInProgress())
        Settling.reset();
}

void Operations::RestartIntoBootloader(bool SwitchBaud) {
    if (!takeGateUntilSettled())
        return;
    connect(
        &Core.link(), &CommsLink::baudRateReset, this, [this] { Settling.reset(); },
        Qt::SingleShotConnection);
    Core.maintenance().RestartIntoBootloader(SwitchBaud);
}

void Operations::ProgramFirmware(bool ctrlHeld) {
    if (const OperationScope gate(Exchange); gate)
        Core.programmer().ProgramFW(ctrlHeld);
}

void Operations::UploadEncryptedFirmware() {
    if (const OperationScope gate(Exchange); gate)
        Core.capture().UploadEncryptedFirmware();
}

void Operations::WriteSerialNo() {
    if (const OperationScope gate(Exchange); gate)
        Core.serials().WriteSerialNo();
}

void Operations::ProgramAndLogSerialNo() {
    if (const OperationScope gate(Exchange); gate)
        Core.serials().ProgramAndLogSerialNo();
}

void Operations::ProgAll(bool ctrlHeld) {
    const OperationScope gate(Exchange);
    if (!gate)
        return;
    if (!Core.programmer().GetFWFileLoaded()) {
        Core.reporter().UpdateStatusDisp(QStringLiteral("No Firmware file loaded"));
        return;
    }
    if (Core.serials().ProgramAndLogSerialNo())
        Core.programmer().ProgramFW(ctrlHeld);
}

void Operations::RecoverSerialNo(const QString& serialText) {
    const OperationScope gate(Exchange);
    if (!gate)
        return;
    Reporter& report = Core.reporter();
    if (serialText.size() != 6) {
        report.PutStatusMsg(QStringLiteral("Invalid code."));
        return;
    }
    const SerialRecoveryResult result = Core.recovery().OpenAndReadInternetSerialFile(serialText);
    if (!result.messageText.isEmpty())
        report.ShowCritical(result.messageTitle, result.messageText);
    if (!result.status.isEmpty())
        report.UpdateStatusDisp(result.status);
    if (!result.good())
        return;
    Core.serials().PutSerialData(result.block);
    Core.serials().WriteSerialNo();
}

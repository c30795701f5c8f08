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

#include <QEventLoop>

Operations::Operations(BootloaderCore& core, QObject* parent)
    : QObject(parent), Core(core), Exchange(core.exchange()) {
    connect(&Exchange, &CommandExchange::completed, this, [this] {
        if (Settling && !Exchange.GetMessageInProgress())
            settle(Exchange.lastOutcome());
    });
}

OperationResult Operations::ungated(const std::function<void(OperationResult&)>& body) {
    Reporter& report = Core.reporter();
    report.beginOperation();
    const int readsBefore = Core.target().identityReads();
    OperationResult result;
    body(result);
    result.status = report.lastStatus();
    result.critical = report.lastCritical();
    if (Core.target().identityReads() != readsBefore)
        result.identity = Core.target().identity();
    return result;
}

OperationResult Operations::gated(const std::function<void(OperationResult&)>& body) {
    const OperationScope gate(Exchange);
    if (!gate)
        return Outcome::Busy;
    return ungated(body);
}

OperationResult Operations::RequestTargetID() {
    return gated([this](OperationResult& r) { r.outcome = Core.target().RequestTargetID(); });
}

OperationResult Operations::probeModule() {
    return gated([this](OperationResult& r) { r.outcome = Core.target().RequestIDFromTarget(); });
}

void Operations::stop() {
    Exchange.requestStop();
    Core.recovery().abandon();
}

OperationResult Operations::EraseTarget() {
    return gated([this](OperationResult& r) { r.outcome = Core.maintenance().EraseTarget(); });
}

OperationResult Operations::WipeTarget() {
    return gated([this](OperationResult& r) { r.outcome = Core.maintenance().WipeTarget(); });
}

OperationResult Operations::RestoreSerialBackup() {
    return gated([this](OperationResult& r) { r.outcome = Core.maintenance().RestoreSerialBackup(); });
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

void Operations::settle(Outcome outcome) {
    Settled = outcome;
    Settling.reset();
    emit settled();
}

Outcome Operations::waitUntilSettled() {
    if (Settling) {
        QEventLoop loop;
        connect(this, &Operations::settled, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return Settled;
}

OperationResult Operations::Restart() {
    if (!takeGateUntilSettled())
        return Outcome::Busy;
    Core.maintenance().Restart();
    // Nothing could be sent (the program is closing): nothing to settle.
    if (!Exchange.GetMessageInProgress())
        settle(Outcome::Abandoned);
    return Outcome::Succeeded;
}

OperationResult Operations::RestartIntoBootloader(bool SwitchBaud) {
    if (!takeGateUntilSettled())
        return Outcome::Busy;
    connect(
        &Core.link(), &CommsLink::baudRateReset, this, [this] { settle(Outcome::Succeeded); },
        Qt::SingleShotConnection);
    Core.maintenance().RestartIntoBootloader(SwitchBaud);
    return Outcome::Succeeded;
}

OperationResult Operations::LoadFirmwareFile(const QString& path) {
    // Gated: a run that programs the current image reads its pages until it ends.
    return gated([this, &path](OperationResult& r) {
        FirmwareProgrammer& programmer = Core.programmer();
        r.outcome = programmer.ReadFirmwareFile(path);
        r.file = path;
        r.totalPages = programmer.image().FWPageCount();
        if (r.succeeded())
            r.ignoredBytes = programmer.image().ignoredBytes;
    });
}

OperationResult Operations::programFirmware(bool ignoreTargetCheck) {
    return gated([this, ignoreTargetCheck](OperationResult& r) {
        FirmwareProgrammer& programmer = Core.programmer();
        r.outcome = programmer.ProgramFW(ignoreTargetCheck);
        r.pages = programmer.pagesWritten();
        r.totalPages = programmer.image().FWPageCount();
        r.ignoredBytes = programmer.image().ignoredBytes;
        r.file = programmer.FirmwareFilename();
    });
}

OperationResult Operations::UploadEncryptedFirmware() {
    return gated([this](OperationResult& r) {
        FirmwareCapture& capture = Core.capture();
        r.outcome = capture.UploadEncryptedFirmware();
        r.pages = capture.keptPages();
        r.totalPages = capture.UploadPages();
        r.file = capture.keptFile();
    });
}

OperationResult Operations::openSerialDatabase(const QString& path, SerialLedger::Sharing sharing) {
    return ungated([this, &path, sharing](OperationResult& r) {
        SerialAllocation& serials = Core.serials();
        r.outcome = serials.ReadSerialDBFile(path, sharing);
        r.file = serials.serialDbFileName();
        r.serial = serials.nextSerial();
        r.reservations = serials.ledgerView().open;
    });
}

OperationResult Operations::WriteSerialNo() {
    return gated([this](OperationResult& r) { r.outcome = Core.serials().WriteSerialNo(); });
}

namespace {
void takeLogged(OperationResult& r, const LoggedUnit& unit, const QString& file) {
    r.outcome = unit.outcome;
    r.serial = unit.serial;
    r.serialState = unit.state;
    r.record = unit.record;
    r.file = file;
}
} // namespace

OperationResult Operations::ProgramAndLogSerialNo() {
    return gated([this](OperationResult& r) {
        takeLogged(r, Core.serials().ProgramAndLogSerialNo(), Core.serials().serialDbFileName());
    });
}

OperationResult Operations::progAll(bool ignoreTargetCheck) {
    return gated([this, ignoreTargetCheck](OperationResult& r) {
        FirmwareProgrammer& programmer = Core.programmer();
        if (!programmer.GetFWFileLoaded()) {
            Core.reporter().status(QStringLiteral("No Firmware file loaded"));
            r.outcome = Outcome::BadInput;
            return;
        }
        takeLogged(r, Core.serials().ProgramAndLogSerialNo(programmer.FirmwareFilename()),
                   Core.serials().serialDbFileName());
        if (!r.succeeded())
            return;
        r.outcome = programmer.ProgramFW(ignoreTargetCheck);
        r.pages = programmer.pagesWritten();
        r.totalPages = programmer.image().FWPageCount();
        r.ignoredBytes = programmer.image().ignoredBytes;
    });
}

OperationResult Operations::RecoverSerialNo(const QString& serialText) {
    return gated([this, &serialText](OperationResult& r) {
        Reporter& report = Core.reporter();
        if (serialText.size() != 6) {
            report.mainStatus(QStringLiteral("Invalid code."));
            r.outcome = Outcome::BadInput;
            return;
        }
        const SerialRecoveryResult found = Core.recovery().OpenAndReadInternetSerialFile(serialText);
        if (!found.messageText.isEmpty())
            report.critical(found.messageTitle, found.messageText);
        if (!found.status.isEmpty())
            report.status(found.status);
        switch (found.outcome) {
        case SerialRecoveryResult::Outcome::Good:
            break;
        case SerialRecoveryResult::Outcome::Abandoned:
            r.outcome = Outcome::Abandoned;
            return;
        case SerialRecoveryResult::Outcome::BadFile:
            r.outcome = Outcome::BadInput;
            return;
        case SerialRecoveryResult::Outcome::NoServerConfigured:
        case SerialRecoveryResult::Outcome::DownloadFailed:
        case SerialRecoveryResult::Outcome::LocalFileError:
            r.outcome = Outcome::FileError;
            return;
        }
        Core.serials().putSerialData(found.block);
        r.outcome = Core.serials().WriteSerialNo();
    });
}

#include "Operations.h"

#include "BootloaderCore.h"
#include "CommsLink.h"
#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "Maintenance.h"
#include "OpenSerialLedger.h"
#include "Reporter.h"
#include "SerialAllocation.h"
#include "SerialRecovery.h"
#include "TargetSession.h"

#include <QEventLoop>

#include <variant>

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

OperationResult Operations::openPort(const PortRef& port) {
    // Gated: a running operation talks through the port.
    return gated([this, &port](OperationResult& r) {
        CommsLink& link = Core.link();
        const bool opened = std::holds_alternative<int>(port.port)
                                ? link.SelectCommsPort(std::get<int>(port.port))
                                : link.openDevice(std::get<QString>(port.port));
        r.outcome = opened ? Outcome::Succeeded : Outcome::PortError;
    });
}

OperationResult Operations::scanPorts() {
    return gated([this](OperationResult&) { Core.link().ScanCommsPorts(); });
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

OperationResult Operations::editAppVersion(const AppVersionEdit& edit) {
    return ungated([this, &edit](OperationResult& r) {
        const TargetSession::VersionEntry taken = Core.target().enterAppVersion(edit.major, edit.minor);
        r.outcome = taken.majorTaken && taken.minorTaken ? Outcome::Succeeded : Outcome::BadInput;
    });
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

namespace {
void takeProgrammed(OperationResult& r, const FirmwareProgrammer& programmer) {
    r.pages = programmer.pagesWritten();
    r.totalPages = programmer.image().FWPageCount();
    r.ignoredBytes = programmer.image().ignoredBytes;
    r.file = programmer.FirmwareFilename();
}
} // namespace

OperationResult Operations::programFirmware(const ProgramRequest& request) {
    return gated([this, &request](OperationResult& r) {
        FirmwareProgrammer& programmer = Core.programmer();
        r.outcome = programmer.ProgramFW(request.ignoreTargetCheck);
        takeProgrammed(r, programmer);
    });
}

OperationResult Operations::UploadEncryptedFirmware(const CaptureRequest& request) {
    return gated([this, &request](OperationResult& r) {
        FirmwareCapture& capture = Core.capture();
        r.outcome = capture.UploadEncryptedFirmware(request);
        r.pages = capture.keptPages();
        r.totalPages = request.pages;
        r.file = capture.keptFile();
    });
}

OperationResult Operations::editCapture(const CaptureEdit& edit) {
    return ungated([this, &edit](OperationResult& r) {
        CaptureSettings settings = Core.capture().settings();
        bool taken = true;
        switch (edit.field) {
        case CaptureEdit::Field::HeaderByte:
            taken = settings.enterHeaderByte(edit.index, edit.value);
            break;
        case CaptureEdit::Field::Pages:
            taken = settings.enterPages(edit.value);
            break;
        case CaptureEdit::Field::Preset:
            taken = settings.quickSet(edit.index, edit.value);
            if (!taken)
                Core.reporter().status(QStringLiteral("The highest serial number must be 0 to %1.")
                                           .arg(CaptureSettings::kHighestMaxSerial));
            break;
        case CaptureEdit::Field::File:
            settings.chooseFile(edit.file);
            break;
        }
        // The pane shows the settings again either way.
        Core.capture().setSettings(settings);
        r.outcome = taken ? Outcome::Succeeded : Outcome::BadInput;
    });
}

OperationResult Operations::openSerialDatabase(const SerialLogRequest& request) {
    // Gated: a logging run reads and writes the log that is open.
    return gated([this, &request](OperationResult& r) {
        SerialAllocation& serials = Core.serials();
        serials.setStationRules(request.idTemplate, request.memo.has_value(), request.startAt,
                                request.lockTimeout);
        if (request.memo)
            serials.setMemo(*request.memo);
        r.outcome = serials.ReadSerialDBFile(request.where, request.sharing);
        r.file = serials.serialDbFileName();
        r.serial = serials.nextSerial();
        r.reservations = serials.ledgerView().open;
    });
}

OpenedLedger Operations::readLog(const LedgerAddress& log, OperationResult& r) {
    OpenedLedger opened = openSerialLedger(log, SerialLedger::Sharing::ReadOnly, {},
                                           [this] { return Exchange.stopRequested(); });
    r.file = ledgerName(log);
    if (!opened.ledger) {
        r.outcome = opened.view.outcome;
        if (r.outcome != Outcome::Abandoned)
            Core.reporter().critical(opened.view.title, opened.view.error);
    }
    return opened;
}

OperationResult Operations::listReservations(const LedgerAddress& log) {
    return ungated([this, &log](OperationResult& r) {
        const OpenedLedger opened = readLog(log, r);
        if (!opened.ledger)
            return;
        r.serial = opened.view.next;
        r.reservations = opened.view.open;
        Core.reporter().status(opened.view.status);
    });
}

OperationResult Operations::WriteSerialNo(const WriteSerialRequest& request) {
    return gated([this, &request](OperationResult& r) {
        SerialAllocation& serials = Core.serials();
        r.outcome = serials.WriteSerialNo(request.block.value_or(serials.setSerialData()));
    });
}

OperationResult Operations::ProgramAndLogSerialNo(const LogRequest& request) {
    return gated([this, &request](OperationResult& r) {
        FirmwareProgrammer& programmer = Core.programmer();
        if (request.programFirmware && !programmer.GetFWFileLoaded()) {
            Core.reporter().status(QStringLiteral("No Firmware file loaded"));
            r.outcome = Outcome::BadInput;
            return;
        }
        SerialAllocation& serials = Core.serials();
        const LoggedUnit unit = serials.ProgramAndLogSerialNo(
            request.programFirmware ? programmer.FirmwareFilename() : QString());
        r.outcome = unit.outcome;
        r.serial = unit.serial;
        r.serialState = unit.state;
        r.record = unit.record;
        r.file = serials.serialDbFileName();
        if (!r.succeeded() || !request.programFirmware)
            return;
        r.outcome = programmer.ProgramFW(request.ignoreTargetCheck);
        const QString log = r.file;
        takeProgrammed(r, programmer);
        r.file = log;
    });
}

OperationResult Operations::editSerial(const SerialEdit& edit) {
    return ungated([this, &edit](OperationResult& r) {
        SerialAllocation& serials = Core.serials();
        bool taken = true;
        switch (edit.field) {
        case SerialEdit::Field::BlockByte:
            taken = serials.enterSerialByte(edit.index, edit.value);
            break;
        case SerialEdit::Field::NextSerial:
            taken = serials.enterNextSerial(edit.value);
            break;
        case SerialEdit::Field::Memo:
            serials.setMemo(edit.memo);
            break;
        }
        r.outcome = taken ? Outcome::Succeeded : Outcome::BadInput;
        r.serial = serials.nextSerial();
    });
}

std::optional<IdBlock> Operations::recoveredBlock(const RecoverRequest& request, OperationResult& r) {
    Reporter& report = Core.reporter();
    if (request.log) {
        const OpenedLedger opened = readLog(*request.log, r);
        if (!opened.ledger)
            return std::nullopt;
        const UnitLookup found = opened.ledger->findUnit(request.code);
        switch (found.found) {
        case UnitLookup::Found::Logged:
        case UnitLookup::Found::Reserved:
            report.status(QStringLiteral("OK."));
            return found.block;
        case UnitLookup::Found::BadCode:
            r.outcome = Outcome::BadInput;
            break;
        case UnitLookup::Found::NotFound:
            r.outcome = Outcome::RuleRefused;
            break;
        case UnitLookup::Found::Failed:
            r.outcome = Outcome::FileError;
            break;
        }
        report.critical(QStringLiteral("Serial Recovery"), found.error);
        report.status(QStringLiteral("Failed"));
        return std::nullopt;
    }
    const SerialRecoveryResult found = Core.recovery().OpenAndReadInternetSerialFile(request.code);
    if (!found.messageText.isEmpty())
        report.critical(found.messageTitle, found.messageText);
    if (!found.status.isEmpty())
        report.status(found.status);
    switch (found.outcome) {
    case SerialRecoveryResult::Outcome::Good:
        return found.block;
    case SerialRecoveryResult::Outcome::Abandoned:
        r.outcome = Outcome::Abandoned;
        break;
    case SerialRecoveryResult::Outcome::BadFile:
        r.outcome = Outcome::BadInput;
        break;
    case SerialRecoveryResult::Outcome::NoServerConfigured:
    case SerialRecoveryResult::Outcome::DownloadFailed:
    case SerialRecoveryResult::Outcome::LocalFileError:
        r.outcome = Outcome::FileError;
        break;
    }
    return std::nullopt;
}

OperationResult Operations::administer(const std::function<SerialRangeAdmin::Answer()>& work) {
    return ungated([this, &work](OperationResult& r) {
        const SerialRangeAdmin::Answer answer = work();
        r.outcome = answer.outcome;
        r.file = answer.file;
        if (!answer.criticalTitle.isEmpty() && answer.outcome != Outcome::Abandoned)
            Core.reporter().critical(answer.criticalTitle, answer.text);
        Core.reporter().status(answer.text);
    });
}

OperationResult Operations::initSerialDatabase(const DatabaseInitRequest& request) {
    return administer([this, &request] {
        return SerialRangeAdmin::initialise(request.address, request.grantRole, request.range,
                                            [this] { return Exchange.stopRequested(); });
    });
}

OperationResult Operations::exportSerials(const SerialExchangeRequest& request) {
    return administer([this, &request] {
        return SerialRangeAdmin::exportRecords(request.log, request.file,
                                               [this] { return Exchange.stopRequested(); });
    });
}

OperationResult Operations::importSerials(const SerialExchangeRequest& request) {
    return administer([this, &request] {
        return SerialRangeAdmin::importRecords(request.log, request.file,
                                               [this] { return Exchange.stopRequested(); });
    });
}

OperationResult Operations::RecoverSerialNo(const RecoverRequest& request) {
    return gated([this, &request](OperationResult& r) {
        if (request.code.size() != 6) {
            Core.reporter().mainStatus(QStringLiteral("Invalid code."));
            r.outcome = Outcome::BadInput;
            return;
        }
        const std::optional<IdBlock> block = recoveredBlock(request, r);
        if (!block)
            return;
        Core.serials().putSerialData(*block);
        r.outcome = Core.serials().WriteSerialNo();
    });
}

#include "SerialAllocation.h"

#include "CommsLink.h"
#include "GeneralUtilities.h"
#include "OpenSerialLedger.h"
#include "OperatorNumber.h"
#include "Reporter.h"
#include "SerialDatabase.h"
#include "SerialRecord.h"
#include "TargetSession.h"

#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>
#include <QSysInfo>

#include <algorithm>

namespace {
const OutcomeTexts kWriteTexts{QStringLiteral("Write Serial Failed."), QStringLiteral("No response."),
                               QStringLiteral("Write Serial OK.")};
const QString kNoNextSerial =
    QStringLiteral("Error: No next serial number. Set the next serial number by clicking it.");

QString givenAlready(qint32 serial) {
    return QStringLiteral("Error: Serial number %1 has been given already. Set the next serial number by "
                          "clicking it.")
        .arg(serial);
}

LoggedUnit unitWith(Outcome outcome, qint32 serial, SerialState state) {
    LoggedUnit unit(outcome);
    unit.serial = serial;
    unit.state = state;
    return unit;
}
} // namespace

SerialAllocation::SerialAllocation(CommsLink& link, TargetSession& target, Reporter& reporter,
                                   QObject* parent)
    : QObject(parent), Link(link), Target(target), Report(reporter) {
    PutNewSerialNo(1);
}

SerialAllocation::~SerialAllocation() = default;

void SerialAllocation::PutNewSerialNo(qint32 NewSerial) {
    NextSerial = NewSerial;
    SetSerialData[IdBlockField::SerL] = GeneralUtilities::LowByte(NewSerial);
    SetSerialData[IdBlockField::SerH] = GeneralUtilities::HighByte(NewSerial);
    Report.changed(Change::SerialAllocation);
}

void SerialAllocation::putSerialData(const IdBlock& block) {
    SetSerialData = block;
    Report.changed(Change::SerialAllocation);
}

bool SerialAllocation::enterSerialByte(int index, double value) {
    const auto v = OperatorNumber::wholeInRange(value, IdBlockField::kLowest, IdBlockField::kHighest);
    const bool taken = v && index >= 0 && index < static_cast<int>(SetSerialData.size());
    if (taken)
        SetSerialData[static_cast<size_t>(index)] = static_cast<qint16>(*v);
    Report.changed(Change::SerialAllocation);
    return taken;
}

bool SerialAllocation::enterNextSerial(double value) {
    std::optional<qint32> v = OperatorNumber::wholeInRange(value, kLowestSerial, kHighestSerial);
    if (v && View.spent.contains(*v)) {
        Report.status(NextSerial ? QStringLiteral("Serial number %1 has been given already: the next serial "
                                                  "number stays %2.")
                                       .arg(*v)
                                       .arg(*NextSerial)
                                 : QStringLiteral("Serial number %1 has been given already: there is still "
                                                  "no next serial number.")
                                       .arg(*v));
        v.reset();
    }
    if (v) {
        NextSerial = *v;
        NextChosen = true;
    }
    if (NextSerial)
        PutNewSerialNo(*NextSerial);
    else
        Report.changed(Change::SerialAllocation);
    return v.has_value();
}

Outcome SerialAllocation::WriteSerialNo(const IdBlock& block) {
    OutMsg message{};
    message[0] = Frame::kWriteIdBlock;
    std::copy(block.begin(), block.end(), message.begin() + 1);
    Report.status(QStringLiteral("Writing serial number ..."));
    return kWriteTexts.show(Report, Link.transact(message, 10, ReplyKind::Acknowledgement));
}

Outcome SerialAllocation::WriteSerialNo() {
    return WriteSerialNo(SetSerialData);
}

bool SerialAllocation::stopRequested() const {
    return Link.exchange().stopRequested();
}

QString SerialAllocation::stationName() const {
    return QSysInfo::machineHostName() + QLatin1Char(' ') + Link.device();
}

Outcome SerialAllocation::ReadSerialDBFile(const LedgerAddress& where, SerialLedger::Sharing sharing) {
    if (Ledger)
        Ledger->close();
    Ledger.reset();
    View = {};
    DatabaseName = ledgerName(where);
    OpenedLedger opened = openSerialLedger(where, sharing, LockTimeout, [this] { return stopRequested(); });
    if (!opened.ledger) {
        if (opened.view.outcome != Outcome::Abandoned)
            Report.critical(opened.view.title, opened.view.error);
        Report.changed(Change::SerialAllocation);
        return opened.view.outcome;
    }
    Ledger = std::move(opened.ledger);
    DatabaseName = Ledger->name();
    View = opened.view;
    Shared = sharing;
    NextChosen = false;
    takeOverValues(View);
    takeOverNext(View);
    Report.status(View.status);
    // A station's first number: it starts an empty log, or one that gives
    // no next number, and is never one that has been given.
    if (const std::optional<qint32> start = std::exchange(StartAt, std::nullopt);
        start && (View.spent.isEmpty() || !View.next)) {
        if (View.spent.contains(*start)) {
            Report.status(givenAlready(*start));
            return Outcome::RuleRefused;
        }
        NextChosen = true;
        PutNewSerialNo(*start);
    }
    return Outcome::Succeeded;
}

void SerialAllocation::takeOverValues(const LedgerView& view) {
    // A field the last record cannot give sensibly keeps its present value.
    std::ranges::transform(
        view.idBlock, SetSerialData, SetSerialData.begin(),
        [](const std::optional<qint16>& logged, qint16 now) { return logged.value_or(now); });
    if (Template)
        SetSerialData = *Template; // its serial bytes give way to the next serial number below
    if (view.memo && !KeepMemo) {
        Memo = *view.memo;
        Report.changed(Change::SerialMemo);
    }
    Report.changed(Change::SerialAllocation);
}

void SerialAllocation::takeOverNext(const LedgerView& view) {
    if (view.next) {
        PutNewSerialNo(*view.next);
    } else {
        // Neither the present number nor any other may follow this log: it
        // could give a serial number twice.
        NextSerial.reset();
        Report.changed(Change::SerialAllocation);
    }
}

void SerialAllocation::setStationRules(std::optional<IdBlock> idTemplate, bool keepMemo,
                                       std::optional<qint32> startAt, std::chrono::milliseconds lockTimeout) {
    Template = idTemplate;
    KeepMemo = keepMemo;
    StartAt = startAt;
    LockTimeout = lockTimeout;
}

void SerialAllocation::moveNextPast(qint32 serial) {
    View.spent.insert(serial);
    if (const std::optional<qint32> next = View.spent.firstFreeFrom(serial + 1))
        PutNewSerialNo(*next);
    else {
        NextSerial.reset();
        Report.changed(Change::SerialAllocation);
    }
}

LoggedUnit SerialAllocation::WriteSerialDBRecord(qint32 serial, const IdBlock& block) {
    // The record writer refuses on its own when the log has gone meanwhile;
    // the number stays reserved.
    if (!Ledger || !Ledger->isOpen()) {
        Report.status(QStringLiteral("Error: Serial DB file not open"));
        return unitWith(Outcome::FileError, serial, SerialState::Reserved);
    }
    Report.status(QStringLiteral("Writing the device data to the serial DB file"));
    LoggedUnitRecord unit;
    unit.serial = serial;
    unit.block = block;
    unit.identity = &Target.identity();
    unit.memo = Memo;
    unit.record = buildSerialRecord(static_cast<quint16>(serial), block, Target.identity(), Memo,
                                    QDateTime::currentDateTime(), dateTimeSeparatorsOf(QLocale::system()));
    if (const LedgerWrite logged = Ledger->confirm(unit); !logged.succeeded()) {
        Report.critical(QString::fromLatin1(kSerialDBWriteTitle), logged.error);
        // The log may be failing; the operator decides whether to go on with
        // it by choosing it again.
        Ledger->close();
        Report.changed(Change::SerialAllocation);
        Report.status(QStringLiteral("Not logged: the module now holds serial number %1, which is not in the "
                                     "serial DB file; it stays reserved and is not given again. Choose the "
                                     "file again to go on.")
                          .arg(serial));
        return unitWith(Outcome::FileError, serial, SerialState::Reserved);
    }
    Report.status(QStringLiteral("OK"));
    LoggedUnit logged = unitWith(Outcome::Succeeded, serial, SerialState::Logged);
    logged.record = unit.record;
    return logged;
}

LoggedUnit SerialAllocation::ProgramAndLogSerialNo(const QString& firmware) {
    if (!SerialDBOpen()) {
        Report.status(QStringLiteral("Error: No Serial DB file open."));
        return Outcome::RuleRefused;
    }
    // The log is this unit's alone for its turn (stations sharing a file
    // take turns), and is read again: what every station has spent counts.
    const LedgerView turn = Ledger->beginTurn(LockTimeout, [this] { return stopRequested(); });
    if (!turn.succeeded()) {
        if (turn.outcome != Outcome::Abandoned)
            Report.critical(turn.title, turn.error);
        Report.changed(Change::SerialAllocation); // a log renamed or replaced under it is closed
        return turn.outcome;
    }
    const auto endTurn = qScopeGuard([this] {
        if (Ledger)
            Ledger->endTurn();
    });
    View = turn;
    // A station goes on from the log as it stands, as every station wrote
    // it; the windows keep what the operator set.
    if (Shared == SerialLedger::Sharing::TakeTurns)
        takeOverValues(turn);
    if (!NextChosen)
        takeOverNext(turn);
    else if (NextSerial && View.spent.contains(*NextSerial))
        PutNewSerialNo(View.spent.firstFreeFrom(*NextSerial).value_or(0)); // another station took it
    if (!NextSerial) {
        Report.status(kNoNextSerial);
        return Outcome::RuleRefused;
    }
    // A serial number beyond 16 bits would be written as another one.
    if (*NextSerial < kLowestSerial || *NextSerial > kHighestSerial) {
        Report.status(QStringLiteral("Error: Next serial number must be 1 to 65535."));
        return Outcome::RuleRefused;
    }
    if (const Outcome read = Target.RequestTargetID(); read != Outcome::Succeeded)
        return read;
    if (Target.identity().InitByte == IdBlockField::kInitWritten) {
        // A module that took a number and was pulled before it was logged
        // comes back holding it: it is logged under that number.
        const IdBlock held = Target.identity().IDBlock();
        const auto reserved = std::ranges::find(View.open, held, &Reservation::block);
        if (reserved == View.open.end()) {
            Report.status(QStringLiteral("Aborted - Serial No. already programmed"));
            return Outcome::RuleRefused;
        }
        Report.status(QStringLiteral("Serial number %1 was reserved for this module: logging it.")
                          .arg(reserved->serial));
        return WriteSerialDBRecord(reserved->serial, held);
    }

    // From the reservation on, the unit is seen through to its record (a
    // stop waits for it), so that a number never reaches a module unlogged
    // because of a stop.
    const Unstoppable unit(Link.exchange());
    Reservation wanted;
    wanted.station = stationName();
    wanted.firmware = firmware;
    wanted.block = SetSerialData;
    const LedgerWrite reserved = Ledger->reserve(wanted, NextChosen ? NextSerial : std::nullopt);
    if (reserved.outcome == Outcome::RuleRefused) {
        Report.status(givenAlready(*NextSerial));
        return Outcome::RuleRefused;
    }
    if (!reserved.succeeded()) {
        Report.critical(QString::fromLatin1(kSerialDBWriteTitle), reserved.error);
        Report.status(QStringLiteral("Not written: no serial number could be reserved, and nothing was sent "
                                     "to the module."));
        return reserved.outcome;
    }
    const qint32 serial = reserved.serial;
    IdBlock block = SetSerialData;
    block[IdBlockField::SerL] = GeneralUtilities::LowByte(serial);
    block[IdBlockField::SerH] = GeneralUtilities::HighByte(serial);
    moveNextPast(serial);

    const Outcome write = WriteSerialNo(block);
    // The module is read again so that the record carries what it reports
    // after the write, and so that only a unit that holds the block is logged
    // (a write whose acknowledgement was lost may still have taken effect).
    if (const Outcome reread = Target.RequestTargetID(); reread != Outcome::Succeeded) {
        Report.status(QStringLiteral("Not logged: the module may hold serial number %1, which stays reserved "
                                     "and is not given again.")
                          .arg(serial));
        return unitWith(reread, serial, SerialState::Reserved);
    }
    if (Target.identity().IDBlock() != block) {
        // The module answered without the block: the number never reached it.
        const Outcome failed = write == Outcome::Succeeded ? Outcome::Refused : write;
        if (!Ledger->cancel(serial).succeeded()) {
            Report.status(kWriteTexts.textFor(failed));
            return unitWith(failed, serial, SerialState::Reserved);
        }
        View.spent.remove(serial);
        if (NextChosen || View.spent.highest().value_or(0) < serial)
            PutNewSerialNo(serial);
        Report.status(kWriteTexts.textFor(failed));
        return unitWith(failed, serial, SerialState::Cancelled);
    }
    return WriteSerialDBRecord(serial, block);
}

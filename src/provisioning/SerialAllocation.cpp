#include "SerialAllocation.h"

#include "CommsLink.h"
#include "GeneralUtilities.h"
#include "OperatorNumber.h"
#include "Reporter.h"
#include "SerialRecord.h"
#include "TargetSession.h"

#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>

#include <algorithm>

namespace {
const OutcomeTexts kWriteTexts{QStringLiteral("Write Serial Failed."), QStringLiteral("No response."),
                               QStringLiteral("Write Serial OK.")};
} // namespace

SerialAllocation::SerialAllocation(CommsLink& link, TargetSession& target, Reporter& reporter,
                                   QObject* parent)
    : QObject(parent), Link(link), Target(target), Report(reporter) {
    PutNewSerialNo(1);
}

void SerialAllocation::PutNewSerialNo(qint32 NewSerial) {
    NextSerial = NewSerial;
    SetSerialData[3] = GeneralUtilities::LowByte(NewSerial);
    SetSerialData[4] = GeneralUtilities::HighByte(NewSerial);
    emit changed();
}

void SerialAllocation::putSerialData(const IdBlock& block) {
    SetSerialData = block;
    emit changed();
}

bool SerialAllocation::enterSerialByte(int index, double value) {
    const auto v = OperatorNumber::wholeInRange(value, IdBlockField::kLowest, IdBlockField::kHighest);
    const bool taken = v && index >= 0 && index < static_cast<int>(SetSerialData.size());
    if (taken)
        SetSerialData[static_cast<size_t>(index)] = static_cast<qint16>(*v);
    emit changed();
    return taken;
}

bool SerialAllocation::enterNextSerial(double value) {
    const auto v = OperatorNumber::wholeInRange(value, kLowestSerial, kHighestSerial);
    if (v)
        NextSerial = *v;
    if (NextSerial)
        PutNewSerialNo(*NextSerial);
    else
        emit changed();
    return v.has_value();
}

Outcome SerialAllocation::WriteSerialNo() {
    OutMsg message{};
    message[0] = Frame::kWriteIdBlock;
    std::copy(SetSerialData.begin(), SetSerialData.end(), message.begin() + 1);
    Report.status(QStringLiteral("Writing serial number ..."));
    return kWriteTexts.show(Report, Link.transact(message, 10, ReplyKind::Acknowledgement));
}

Outcome SerialAllocation::ReadSerialDBFile(const QString& path, SerialDatabase::Sharing sharing) {
    DatabaseFile = path;
    const SerialLoad load = Database.open(path, sharing, LockTimeout);
    if (load.failed) {
        Report.critical(QString::fromLatin1(kSerialDBOpenTitle), load.messageBoxText());
        emit changed();
        return Outcome::FileError;
    }
    takeOver(load);
    Report.status(load.statusText());
    return Outcome::Succeeded;
}

void SerialAllocation::takeOver(const SerialLoad& load) {
    // A field the last record cannot give sensibly keeps its present value.
    std::ranges::transform(
        load.idBlock, SetSerialData, SetSerialData.begin(),
        [](const std::optional<qint16>& logged, qint16 now) { return logged.value_or(now); });
    if (Template)
        SetSerialData = *Template; // its serial bytes give way to the next serial number below
    if (load.memo && !KeepMemo) {
        Memo = *load.memo;
        emit memoChanged(Memo);
    }
    if (const std::optional<qint32> next = load.nextSerial ? load.nextSerial : NextWhenNone) {
        PutNewSerialNo(*next);
    } else {
        // Neither the present number nor any other may follow this log: it
        // could give a serial number twice.
        NextSerial.reset();
        emit changed();
    }
}

void SerialAllocation::setStationRules(std::optional<IdBlock> idTemplate, bool keepMemo,
                                       std::optional<qint32> nextWhenNone,
                                       std::chrono::milliseconds lockTimeout) {
    Template = idTemplate;
    KeepMemo = keepMemo;
    NextWhenNone = nextWhenNone;
    LockTimeout = lockTimeout;
}

bool SerialAllocation::WriteSerialDBRecord(qint32 serial, QByteArray* written) {
    if (!Database.isOpen()) {
        Report.status(QStringLiteral("Error: Serial DB file not open"));
        return false;
    }
    const QByteArray record =
        buildSerialRecord(static_cast<quint16>(serial), SetSerialData, Target.identity(), Memo,
                          QDateTime::currentDateTime(), dateTimeSeparatorsOf(QLocale::system()));
    if (!Database.append(record)) {
        Report.critical(QString::fromLatin1(kSerialDBWriteTitle), Database.writeErrorText());
        // The file may be failing; the operator decides whether to go on
        // with it by choosing it again.
        Database.close();
        Report.status(QStringLiteral("Not logged: the module now holds serial number %1, which is "
                                     "not in the serial DB file. Choose the file again to go on.")
                          .arg(serial));
        return false;
    }
    if (written)
        *written = record;
    return true;
}

LoggedUnit SerialAllocation::ProgramAndLogSerialNo() {
    if (!Database.isOpen()) {
        Report.status(QStringLiteral("Error: No Serial DB file open."));
        return Outcome::RuleRefused;
    }
    // A file shared by several stations is theirs in turn, one unit each:
    // the next serial number is the one after the last logged by anybody.
    const SerialLoad turn = Database.takeTurn(LockTimeout);
    const auto endTurn = qScopeGuard([this] { Database.endTurn(); });
    if (turn.failed) {
        Report.critical(QString::fromLatin1(kSerialDBOpenTitle), turn.messageBoxText());
        return Outcome::FileError;
    }
    if (Database.sharing() == SerialDatabase::Sharing::TakeTurns)
        takeOver(turn);
    if (!NextSerial) {
        Report.status(
            QStringLiteral("Error: No next serial number. Set the next serial number by clicking it."));
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
        Report.status(QStringLiteral("Aborted - Serial No. already programmed"));
        return Outcome::RuleRefused;
    }
    // Once the block is on its way, the unit is seen through to its record,
    // so that a stop never leaves a written module out of the log.
    const Unstoppable unit(Link.exchange());
    const IdBlock written = SetSerialData;
    const Outcome write = WriteSerialNo();
    // The module is read again so that the record carries what it reports
    // after the write, and so that only a unit that holds the block is logged
    // (a write whose acknowledgement was lost may still have taken effect).
    if (const Outcome reread = Target.RequestTargetID(); reread != Outcome::Succeeded)
        return reread;
    if (Target.identity().IDBlock() != written) {
        Report.status(write == Outcome::Succeeded ? kWriteTexts.refused : kWriteTexts.textFor(write));
        return write == Outcome::Succeeded ? Outcome::Refused : write;
    }
    Report.status(QStringLiteral("Writing the device data to the serial DB file"));
    const qint32 serial = *NextSerial;
    QByteArray record;
    if (!WriteSerialDBRecord(serial, &record))
        return Outcome::FileError;
    PutNewSerialNo(serial + 1);
    Report.status(QStringLiteral("OK"));
    LoggedUnit logged(Outcome::Succeeded);
    logged.serial = serial;
    logged.record = record;
    return logged;
}

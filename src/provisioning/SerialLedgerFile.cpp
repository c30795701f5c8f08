#include "SerialLedgerFile.h"

#include "GeneralUtilities.h"
#include "LedgerJournal.h"
#include "SerialRecord.h"

#include <QStringList>

namespace {

constexpr int kNumbersShown = 10;

// "2 serial numbers reserved but not logged: 500, 507".
QString openReservationsText(const QList<Reservation>& open) {
    QStringList numbers;
    for (const Reservation& r : open.first(std::min<qsizetype>(open.size(), kNumbersShown)))
        numbers << QString::number(r.serial);
    QString text = open.size() == 1
                       ? QStringLiteral("1 serial number reserved but not logged: ")
                       : QStringLiteral("%1 serial numbers reserved but not logged: ").arg(open.size());
    text += numbers.join(QStringLiteral(", "));
    if (open.size() > kNumbersShown)
        text += QStringLiteral(" and %1 more").arg(open.size() - kNumbersShown);
    return text;
}

LedgerWrite refusal(qint32 serial, const QString& why) {
    LedgerWrite refused;
    refused.outcome = Outcome::RuleRefused;
    refused.serial = serial;
    refused.error = why;
    return refused;
}

// Only a number reserved and neither logged nor cancelled is logged or given back.
LedgerWrite notReserved(qint32 serial) {
    return refusal(serial, QStringLiteral("serial number %1 is not reserved").arg(serial));
}

LedgerView failedView(const SerialLoad& load) {
    LedgerView view;
    view.outcome = load.outcome == Outcome::Abandoned ? Outcome::Abandoned : Outcome::FileError;
    view.title = QString::fromLatin1(kSerialDBOpenTitle);
    view.error = load.messageBoxText();
    return view;
}

} // namespace

LedgerView SerialLedgerFile::open(const QString& path, Sharing sharing, std::chrono::milliseconds lockTimeout,
                                  const StopRequested& stop) {
    const SerialLoad load = Log.open(path, sharing, lockTimeout, stop);
    if (load.failed)
        return failedView(load);
    return viewOf(load);
}

LedgerView SerialLedgerFile::beginTurn(std::chrono::milliseconds timeout, const StopRequested& stop) {
    const SerialLoad load = Log.takeTurn(timeout, stop);
    if (load.failed)
        return failedView(load);
    LedgerView view = viewOf(load);
    if (!view.succeeded())
        Log.endTurn();
    return view;
}

LedgerView SerialLedgerFile::viewOf(const SerialLoad& load) {
    const LedgerJournal::Contents ledger = LedgerJournal::read(LedgerJournal::pathFor(Log.path()));
    LedgerView view;
    if (!ledger.error.isEmpty()) {
        view.outcome = Outcome::FileError;
        view.title = QString::fromLatin1(kSerialDBOpenTitle);
        view.error = QStringLiteral("Error reading Serial Number Database file: %1: %2")
                         .arg(LedgerJournal::pathFor(Log.path()), ledger.error);
        return view;
    }
    view.spent = load.serials;
    view.spent.unite(ledger.logged);
    // A reservation whose record reached the log was logged, even if the
    // ledger did not hear of it before a crash.
    for (const Reservation& r : ledger.open)
        if (!load.serials.contains(r.serial)) {
            view.open.append(r);
            view.spent.insert(r.serial);
        }
    std::ranges::sort(view.open, {}, &Reservation::serial);
    view.idBlock = load.idBlock;
    view.memo = load.memo;
    view.status = load.statusText();
    if (!view.open.isEmpty())
        view.status += QLatin1Char(' ') + openReservationsText(view.open) + QLatin1Char('.');
    Current = view;
    LastSerialUnknown = load.lastSerialUnknown;
    updateNext();
    return Current;
}

void SerialLedgerFile::updateNext() {
    Current.next.reset();
    if (const qint32 highest = Current.spent.highest().value_or(0);
        !LastSerialUnknown && highest < SpentSerials::kHighest)
        Current.next = highest + 1;
}

LedgerWrite SerialLedgerFile::appendToLedger(const QByteArray& line, qint32 serial) {
    LedgerWrite write;
    write.serial = serial;
    const QString path = LedgerJournal::pathFor(Log.path());
    if (const QString error = LedgerJournal::append(path, line, LedgerCalls); !error.isEmpty()) {
        write.outcome = Outcome::FileError;
        write.error = QStringLiteral("Error writing to Serial Number Database file: %1: %2").arg(path, error);
    }
    return write;
}

LedgerWrite SerialLedgerFile::reserve(Reservation reservation, std::optional<qint32> wanted) {
    const std::optional<qint32> serial = wanted ? wanted : Current.next;
    if (serial && (*serial < SpentSerials::kLowest || *serial > SpentSerials::kHighest))
        return refusal(*serial, QStringLiteral("%1 is not a serial number").arg(*serial));
    if (!serial || Current.spent.contains(*serial))
        return refusal(serial.value_or(0),
                       serial ? QStringLiteral("serial number %1 has been given already").arg(*serial)
                              : QStringLiteral("no serial number is left to give"));
    reservation.serial = *serial;
    reservation.block[IdBlockField::SerL] = GeneralUtilities::LowByte(*serial);
    reservation.block[IdBlockField::SerH] = GeneralUtilities::HighByte(*serial);
    if (!reservation.reservedAt.isValid())
        reservation.reservedAt = QDateTime::currentDateTimeUtc();
    LedgerWrite write = appendToLedger(LedgerJournal::reservedLine(reservation), *serial);
    if (write.succeeded()) {
        Current.spent.insert(*serial);
        Current.open.append(reservation);
        updateNext();
    }
    return write;
}

LedgerWrite SerialLedgerFile::confirm(const LoggedUnitRecord& unit) {
    if (!Current.openReservation(unit.serial))
        return notReserved(unit.serial);
    LedgerWrite write;
    write.serial = unit.serial;
    if (!Log.append(unit.record)) {
        write.outcome = Outcome::FileError;
        write.error = Log.writeErrorText();
        return write;
    }
    Current.spent.insert(unit.serial);
    updateNext();
    Current.open.removeIf([&](const Reservation& r) { return r.serial == unit.serial; });
    // The record in the log is what counts; a ledger line that cannot be
    // written only leaves the reservation to be closed by the record when
    // the ledger is next read.
    appendToLedger(LedgerJournal::loggedLine(unit.serial, QDateTime::currentDateTimeUtc()), unit.serial);
    return write;
}

LedgerWrite SerialLedgerFile::cancel(qint32 serial) {
    if (!Current.openReservation(serial))
        return notReserved(serial);
    LedgerWrite write =
        appendToLedger(LedgerJournal::cancelledLine(serial, QDateTime::currentDateTimeUtc()), serial);
    if (write.succeeded()) {
        Current.open.removeIf([serial](const Reservation& r) { return r.serial == serial; });
        Current.spent.remove(serial);
        updateNext();
    }
    return write;
}

QByteArray SerialLedgerFile::exportRecords() {
    QFile file(Log.path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    return all.left(all.size() - all.size() % SerialRecordFormat::kRecordSize);
}

void SerialLedgerFile::setSystemCalls(const FileSystemCalls& log, const FileSystemCalls& ledger) {
    Log.setSystemCalls(log);
    LedgerCalls = ledger;
}

UnitLookup SerialLedgerFile::findUnit(const QString& code) {
    UnitLookup lookup;
    const std::optional<qint32> serial = serialOfRecoveryCode(code, &lookup);
    if (!serial)
        return lookup;
    const QByteArray records = exportRecords();
    // The last good record of the number counts: a unit logged again is logged anew.
    for (qsizetype at = records.size() - SerialRecordFormat::kRecordSize; at >= 0;
         at -= SerialRecordFormat::kRecordSize) {
        const ParsedSerialRecord record =
            parseSerialRecord(QByteArrayView(records).sliced(at, SerialRecordFormat::kRecordSize));
        if (record.bad || record.serial != *serial)
            continue;
        lookup.found = UnitLookup::Found::Logged;
        lookup.block = record.idBlock;
        return lookup;
    }
    if (const Reservation* reserved = Current.openReservation(*serial)) {
        lookup.found = UnitLookup::Found::Reserved;
        lookup.block = reserved->block;
        return lookup;
    }
    lookup.error = QStringLiteral("no unit with serial number %1 in %2").arg(*serial).arg(Log.path());
    return lookup;
}

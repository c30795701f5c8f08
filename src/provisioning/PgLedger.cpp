#include "PgLedger.h"

#include "DatabaseAddress.h"
#include "PgSchema.h"
#include "TargetIdentity.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

namespace {

QByteArray blockBytes(const IdBlock& block) {
    QByteArray bytes;
    for (const qint16 byte : block)
        bytes.append(static_cast<char>(byte & 0xFF));
    return bytes;
}

IdBlock blockFrom(const QByteArray& bytes) {
    IdBlock block{};
    for (size_t i = 0; i < block.size() && i < size_t(bytes.size()); ++i)
        block[i] = static_cast<qint16>(static_cast<quint8>(bytes[qsizetype(i)]));
    return block;
}

template <size_t N> QByteArray bytesOf(const std::array<qint16, N>& values) {
    QByteArray bytes;
    for (const qint16 value : values)
        bytes.append(static_cast<char>(value & 0xFF));
    return bytes;
}

// "500, 507": the numbers of the units still open.
QString serialList(const QList<Reservation>& open) {
    QStringList numbers;
    for (const Reservation& reservation : open)
        numbers << QString::number(reservation.serial);
    return numbers.join(QStringLiteral(", "));
}

// Worth another try once connected again: the connection broke, the server
// was shutting down, or the transaction lost a race.
bool worthRetrying(const PgResult& result) {
    return result.uncertain() || result.sqlState.startsWith("08") || result.sqlState.startsWith("40") ||
           result.sqlState.startsWith("57P");
}

// Reserve: take the range's next number (or the one wanted), move the range
// past it and insert the unit, all in one statement and so one transaction.
// The ID block gets the serial number's bytes as SerL and SerH.
constexpr char kReserve[] =
    "WITH taken AS ("
    " UPDATE merlax.ranges SET next_serial = GREATEST(next_serial, COALESCE($2::integer, next_serial) + 1),"
    "  taken = taken + 1"
    " WHERE name = $1 AND COALESCE($2::integer, next_serial) BETWEEN lowest AND highest"
    " RETURNING name, COALESCE($2::integer, next_serial - 1) AS serial, taken)"
    " INSERT INTO merlax.units (range, serial, taken, state, station, port, firmware, id_block)"
    " SELECT name, serial, taken, 'reserved', $3, $4, $5,"
    "  set_byte(set_byte($6::bytea, 3, serial % 256), 4, serial / 256) FROM taken"
    " RETURNING serial, (extract(epoch FROM reserved_at) * 1000)::bigint";

constexpr char kConfirm[] =
    "UPDATE merlax.units SET state = 'logged', id_block = $3, info_bytes = $4, cpu_id = $5,"
    " bootloader_version = $6, memo = $7, record = $8, logged_at = now(),"
    " logged_order = nextval('merlax.logged_order')"
    " WHERE range = $1 AND serial = $2 AND state = 'reserved' RETURNING serial";

// Cancel: the reserved unit goes, and its number goes back to the range when
// nothing was taken after it.
constexpr char kCancel[] =
    "WITH gone AS (DELETE FROM merlax.units WHERE range = $1 AND serial = $2 AND state = 'reserved'"
    "  RETURNING range, serial),"
    " back AS (UPDATE merlax.ranges SET cancelled = cancelled + 1,"
    "  next_serial = CASE WHEN next_serial = gone.serial + 1 THEN gone.serial ELSE next_serial END"
    "  FROM gone WHERE name = gone.range RETURNING 1)"
    " SELECT (SELECT count(*) FROM gone), (SELECT count(*) FROM back)";

constexpr char kRange[] = "SELECT next_serial, lowest, highest, template_block, memo, taken, cancelled"
                          " FROM merlax.ranges WHERE name = $1";

constexpr char kTakenSince[] = "SELECT serial FROM merlax.units WHERE range = $1 AND taken > $2";

// The spent numbers as runs of consecutive serials: a few rows for a range
// numbered in order.
constexpr char kSpentRuns[] = "SELECT min(serial), max(serial) FROM"
                              " (SELECT serial, serial - row_number() OVER (ORDER BY serial) AS run FROM "
                              "merlax.units WHERE range = $1) s"
                              " GROUP BY run";

constexpr char kOpen[] =
    "SELECT serial, station, port, firmware, id_block, (extract(epoch FROM reserved_at) * 1000)::bigint"
    " FROM merlax.units WHERE range = $1 AND state = 'reserved' ORDER BY serial";

constexpr char kUnit[] = "SELECT state, id_block, record FROM merlax.units WHERE range = $1 AND serial = $2";

constexpr char kExport[] =
    "SELECT record FROM merlax.units WHERE range = $1 AND state = 'logged' ORDER BY logged_order";

} // namespace

PgLedger::PgLedger(QString uri, QString range, Timing timing)
    : Uri(std::move(uri)), Range(std::move(range)), Times(timing) {}

QString PgLedger::name() const {
    return redactedDatabaseAddress(Uri) + QStringLiteral(", range ") + Range;
}

PgResult PgLedger::exec(const char* name, const char* sql, const QList<PgValue>& values) {
    return Connection.exec(name, sql, values, Times.statement, Stop);
}

QString PgLedger::connect(const StopRequested& stop) {
    if (Connection.isOpen())
        return {};
    const PgResult opened = Connection.open(Uri, Times.connect, stop);
    if (!opened.ok())
        return opened.error;
    if (QString schema = PgSchema::check(Connection, Times.statement, stop); !schema.isEmpty()) {
        Connection.close();
        return schema;
    }
    return {};
}

LedgerView PgLedger::failedView(Outcome outcome, const QString& why) const {
    LedgerView view;
    view.outcome = outcome;
    view.title = messageTitle();
    view.error = QStringLiteral("Error opening serial database %1: %2").arg(name(), why);
    return view;
}

LedgerView PgLedger::open(const StopRequested& stop) {
    Stop = stop;
    LedgerView view = readView(stop);
    Opened = view.succeeded();
    return view;
}

LedgerView PgLedger::beginTurn(std::chrono::milliseconds, const StopRequested& stop) {
    Stop = stop;
    // A connection that broke while the station waited for its module (the
    // server restarted) shows only when used: a read is safe to repeat.
    const bool wasConnected = Connection.isOpen();
    LedgerView view = readView(stop);
    if (!view.succeeded() && wasConnected && !Connection.isOpen() && !(stop && stop()))
        view = readView(stop);
    return view;
}

LedgerView PgLedger::readView(const StopRequested& stop) {
    if (const QString why = connect(stop); !why.isEmpty())
        return failedView(stop && stop() ? Outcome::Abandoned : Outcome::FileError, why);
    const auto failed = [&](const PgResult& result) {
        return failedView(result.ended == PgResult::Ended::Stopped ? Outcome::Abandoned : Outcome::FileError,
                          result.error);
    };
    const PgResult range = exec("merlax_range", kRange, {PgValue::text(Range)});
    if (!range.ok())
        return failed(range);
    if (range.rows.isEmpty())
        return failedView(Outcome::FileError,
                          QStringLiteral("there is no serial range %1 in the database (create it with "
                                         "merlax-bootloader-cli db-init --range %1, or import-serials)")
                              .arg(Range));
    // Every unit counted in `taken` as read above is in the table: a reserve
    // counts and inserts in one transaction.
    const qint64 taken = range.numberAt(0, 5);
    const qint64 cancelled = range.numberAt(0, 6);
    if (Known && Known->cancelled == cancelled && Known->taken <= taken) {
        const PgResult since =
            exec("merlax_taken_since", kTakenSince, {PgValue::text(Range), PgValue::number(Known->taken)});
        if (!since.ok())
            return failed(since);
        for (qsizetype row = 0; row < since.rows.size(); ++row)
            Known->spent.insert(static_cast<qint32>(since.numberAt(row, 0)));
    } else {
        const PgResult runs = exec("merlax_spent", kSpentRuns, {PgValue::text(Range)});
        if (!runs.ok())
            return failed(runs);
        Known = KnownSpent{};
        for (qsizetype row = 0; row < runs.rows.size(); ++row)
            for (qint64 serial = runs.numberAt(row, 0); serial <= runs.numberAt(row, 1); ++serial)
                Known->spent.insert(static_cast<qint32>(serial));
    }
    Known->taken = taken;
    Known->cancelled = cancelled;
    const PgResult open = exec("merlax_open", kOpen, {PgValue::text(Range)});
    if (!open.ok())
        return failed(open);

    LedgerView view;
    const qint64 next = range.numberAt(0, 0);
    if (next <= range.numberAt(0, 2))
        view.next = static_cast<qint32>(next);
    const IdBlock block = blockFrom(range.bytesAt(0, 3));
    std::copy(block.begin(), block.end(), view.idBlock.begin());
    view.memo = range.textAt(0, 4);
    view.spent = Known->spent;
    for (qsizetype row = 0; row < open.rows.size(); ++row) {
        Reservation reservation;
        reservation.serial = static_cast<qint32>(open.numberAt(row, 0));
        reservation.station = (open.textAt(row, 1) + QLatin1Char(' ') + open.textAt(row, 2)).trimmed();
        reservation.firmware = open.textAt(row, 3);
        reservation.block = blockFrom(open.bytesAt(row, 4));
        reservation.reservedAt = QDateTime::fromMSecsSinceEpoch(open.numberAt(row, 5));
        view.open << reservation;
    }
    view.status =
        view.next
            ? QStringLiteral("Serial range %1 opened: next serial number %2.").arg(Range).arg(*view.next)
            : QStringLiteral("Serial range %1 opened: no serial number left.").arg(Range);
    if (!view.open.isEmpty())
        view.status +=
            QLatin1Char(' ') +
            (view.open.size() == 1
                 ? QStringLiteral("1 serial number reserved but not logged: %1")
                 : QStringLiteral("%1 serial numbers reserved but not logged: %2").arg(view.open.size()))
                .arg(serialList(view.open));
    return view;
}

LedgerWrite PgLedger::failedWrite(const PgResult& result, qint32 serial) const {
    LedgerWrite write;
    write.outcome = result.ended == PgResult::Ended::Stopped ? Outcome::Abandoned : Outcome::FileError;
    write.error = QStringLiteral("Error writing to serial database %1: %2").arg(name(), result.error);
    write.serial = serial;
    return write;
}

QString PgLedger::explainNoNumber(std::optional<qint32> wanted) {
    const PgResult range = exec("merlax_range", kRange, {PgValue::text(Range)});
    if (!range.ok())
        return range.error;
    if (range.rows.isEmpty())
        return QStringLiteral("there is no serial range %1 in the database").arg(Range);
    const QString bounds = QStringLiteral("%1..%2").arg(range.numberAt(0, 1)).arg(range.numberAt(0, 2));
    if (wanted)
        return QStringLiteral("serial number %1 is outside range %2 (%3)").arg(*wanted).arg(Range, bounds);
    return QStringLiteral("range %1 has no serial number left (%2)").arg(Range, bounds);
}

LedgerWrite PgLedger::reserve(Reservation reservation, std::optional<qint32> wanted) {
    if (const QString why = connect(Stop); !why.isEmpty()) {
        PgResult notConnected;
        notConnected.ended = Stop && Stop() ? PgResult::Ended::Stopped : PgResult::Ended::ConnectionLost;
        notConnected.error = why;
        return failedWrite(notConnected, 0);
    }
    const qsizetype space = reservation.station.indexOf(QLatin1Char(' '));
    const QString host = space < 0 ? reservation.station : reservation.station.first(space);
    const QString port = space < 0 ? QString() : reservation.station.mid(space + 1);
    const PgResult taken =
        exec("merlax_reserve", kReserve,
             {PgValue::text(Range), wanted ? PgValue::number(*wanted) : PgValue::null(), PgValue::text(host),
              PgValue::text(port), PgValue::text(reservation.firmware),
              PgValue::raw(blockBytes(reservation.block))});
    if (!taken.ok() && taken.sqlState == "23505")
        return {Outcome::RuleRefused,
                QStringLiteral("serial number %1 is already spent in range %2")
                    .arg(wanted.value_or(0))
                    .arg(Range),
                wanted.value_or(0)};
    if (!taken.ok())
        return failedWrite(taken, wanted.value_or(0));
    if (taken.rows.isEmpty())
        return {Outcome::RuleRefused, explainNoNumber(wanted), wanted.value_or(0)};
    return {Outcome::Succeeded, {}, static_cast<qint32>(taken.numberAt(0, 0))};
}

LedgerWrite PgLedger::confirm(const LoggedUnitRecord& unit) {
    QElapsedTimer tried;
    tried.start();
    for (;;) {
        bool again = false;
        LedgerWrite write = tryConfirm(unit, &again);
        const bool stopped = Stop && Stop();
        if (write.succeeded() || !again || stopped ||
            tried.elapsed() + Times.retryPause.count() > Times.confirmRetry.count()) {
            if (!write.succeeded() && write.outcome != Outcome::RuleRefused)
                write.error += QStringLiteral(". Serial number %1 is in the module; it stays reserved.")
                                   .arg(unit.serial);
            return write;
        }
        QEventLoop pause;
        QTimer::singleShot(Times.retryPause, &pause, &QEventLoop::quit);
        QTimer stopPoll;
        QObject::connect(&stopPoll, &QTimer::timeout, &pause, [&] {
            if (Stop && Stop())
                pause.quit();
        });
        stopPoll.start(20);
        pause.exec();
    }
}

LedgerWrite PgLedger::tryConfirm(const LoggedUnitRecord& unit, bool* again) {
    if (const QString why = connect(Stop); !why.isEmpty()) {
        PgResult notConnected;
        notConnected.ended = Stop && Stop() ? PgResult::Ended::Stopped : PgResult::Ended::ConnectionLost;
        notConnected.error = why;
        *again = true;
        return failedWrite(notConnected, unit.serial);
    }
    const TargetIdentity* identity = unit.identity;
    const PgResult logged =
        exec("merlax_confirm", kConfirm,
             {PgValue::text(Range), PgValue::number(unit.serial), PgValue::raw(blockBytes(unit.block)),
              identity ? PgValue::raw(bytesOf(identity->InfoBytes)) : PgValue::null(),
              identity ? PgValue::raw(bytesOf(identity->CpuID)) : PgValue::null(),
              identity ? PgValue::text(QStringLiteral("%1:%2")
                                           .arg(identity->BLVersionMajor)
                                           .arg(identity->BLVersionMinor, 2, 10, QLatin1Char('0')))
                       : PgValue::null(),
              PgValue::text(unit.memo), PgValue::raw(unit.record)});
    if (!logged.ok()) {
        *again = worthRetrying(logged);
        return failedWrite(logged, unit.serial);
    }
    if (!logged.rows.isEmpty())
        return {Outcome::Succeeded, {}, unit.serial};

    // Nothing reserved under that number: logged already (by a try whose
    // answer was lost with the connection), or never reserved.
    const PgResult found = exec("merlax_unit", kUnit, {PgValue::text(Range), PgValue::number(unit.serial)});
    if (!found.ok()) {
        *again = worthRetrying(found);
        return failedWrite(found, unit.serial);
    }
    if (!found.rows.isEmpty() && found.textAt(0, 0) == QLatin1String("logged")) {
        if (found.bytesAt(0, 2) == unit.record)
            return {Outcome::Succeeded, {}, unit.serial};
        return {Outcome::RuleRefused,
                QStringLiteral("serial number %1 is logged already in range %2").arg(unit.serial).arg(Range),
                unit.serial};
    }
    return {Outcome::RuleRefused,
            QStringLiteral("serial number %1 is not reserved in range %2").arg(unit.serial).arg(Range),
            unit.serial};
}

LedgerWrite PgLedger::cancel(qint32 serial) {
    if (const QString why = connect(Stop); !why.isEmpty()) {
        PgResult notConnected;
        notConnected.ended = PgResult::Ended::ConnectionLost;
        notConnected.error = why;
        return failedWrite(notConnected, serial);
    }
    const PgResult cancelled =
        exec("merlax_cancel", kCancel, {PgValue::text(Range), PgValue::number(serial)});
    if (!cancelled.ok())
        return failedWrite(cancelled, serial);
    if (cancelled.numberAt(0, 0) == 0)
        return {Outcome::RuleRefused,
                QStringLiteral("serial number %1 is not reserved in range %2").arg(serial).arg(Range),
                serial};
    return {Outcome::Succeeded, {}, serial};
}

std::optional<QByteArray> PgLedger::exportLogged(QString* error) {
    if (const QString why = connect(Stop); !why.isEmpty()) {
        *error = why;
        return std::nullopt;
    }
    const PgResult records = exec("", kExport, {PgValue::text(Range)});
    if (!records.ok()) {
        *error = records.error;
        return std::nullopt;
    }
    QByteArray all;
    all.reserve(records.rows.size() * 100);
    for (qsizetype row = 0; row < records.rows.size(); ++row)
        all.append(records.bytesAt(row, 0));
    return all;
}

QByteArray PgLedger::exportRecords() {
    QString error;
    return exportLogged(&error).value_or(QByteArray());
}

UnitLookup PgLedger::findUnit(const QString& code) {
    UnitLookup lookup;
    const std::optional<qint32> number = serialOfRecoveryCode(code, &lookup);
    if (!number)
        return lookup;
    const qint32 serial = *number;
    if (const QString why = connect(Stop); !why.isEmpty()) {
        lookup.found = UnitLookup::Found::Failed;
        lookup.error = why;
        return lookup;
    }
    const PgResult found = exec("merlax_unit", kUnit, {PgValue::text(Range), PgValue::number(serial)});
    if (!found.ok()) {
        lookup.found = UnitLookup::Found::Failed;
        lookup.error = found.error;
    } else if (found.rows.isEmpty()) {
        lookup.error = QStringLiteral("no unit with serial number %1 in range %2").arg(serial).arg(Range);
    } else {
        lookup.found = found.textAt(0, 0) == QLatin1String("logged") ? UnitLookup::Found::Logged
                                                                     : UnitLookup::Found::Reserved;
        lookup.block = blockFrom(found.bytesAt(0, 1));
    }
    return lookup;
}

void PgLedger::close() {
    Connection.close();
    Opened = false;
}

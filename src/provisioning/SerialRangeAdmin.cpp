#include "SerialRangeAdmin.h"

#include "DatabaseAddress.h"
#include "DurableFiles.h"
#include "PgConnection.h"
#include "PgLedger.h"
#include "PgSchema.h"
#include "SerialDatabase.h"
#include "SerialRecord.h"

#include <QFile>
#include <QSaveFile>

namespace SerialRangeAdmin {

namespace {

constexpr std::chrono::seconds kConnectTimeout{10};
// Creating the tables or importing a whole range may take a while.
constexpr std::chrono::seconds kStatementTimeout{120};

Answer failed(Outcome outcome, const QString& text, const QString& title) {
    return {outcome, text, title, {}};
}

Answer fromSchema(const PgSchema::Answer& answer, const StopRequested& stop,
                  Outcome failure = Outcome::FileError) {
    if (answer.ok)
        return {Outcome::Succeeded, answer.text, {}, {}};
    return failed(stop && stop() ? Outcome::Abandoned : failure, answer.text, PgLedger::messageTitle());
}

// A connection to the database at `uri`, or why there is none.
std::optional<Answer> connect(PgConnection& connection, const QString& uri, const StopRequested& stop) {
    if (!isDatabaseAddress(uri))
        return failed(
            Outcome::BadInput,
            QStringLiteral("--db needs a postgresql:// address: %1").arg(redactedDatabaseAddress(uri)), {});
    const PgResult opened = connection.open(uri, kConnectTimeout, stop);
    if (opened.ok())
        return std::nullopt;
    return fromSchema({false, QStringLiteral("Error opening serial database %1: %2")
                                  .arg(redactedDatabaseAddress(uri), opened.error)},
                      stop);
}

} // namespace

Answer initialise(const QString& uri, const QString& grantRole,
                  const std::optional<PgRangeSetup::NewRange>& range, const StopRequested& stop) {
    PgConnection connection;
    if (std::optional<Answer> refused = connect(connection, uri, stop))
        return *refused;
    PgSchema::Answer answer = PgSchema::initialise(connection, kStatementTimeout, stop);
    QStringList done{answer.text};
    if (answer.ok && !grantRole.isEmpty()) {
        answer = PgSchema::grantStation(connection, grantRole, kStatementTimeout, stop);
        done << answer.text;
    }
    if (answer.ok && range) {
        answer = PgRangeSetup::create(connection, *range, kStatementTimeout, stop);
        done << answer.text;
    }
    answer.text = done.join(QLatin1Char(' '));
    Answer result = fromSchema(answer, stop);
    result.file = redactedDatabaseAddress(uri);
    return result;
}

Answer exportRecords(const LedgerAddress& from, const QString& path, const StopRequested& stop) {
    const OpenedLedger opened =
        openSerialLedger(from, SerialLedger::Sharing::ReadOnly, kConnectTimeout, stop);
    if (!opened.ledger)
        return failed(opened.view.outcome, opened.view.error, opened.view.title);
    QString error;
    std::optional<QByteArray> records;
    if (auto* database = dynamic_cast<PgLedger*>(opened.ledger.get()))
        records = database->exportLogged(&error);
    else
        records = opened.ledger->exportRecords();
    if (!records)
        return fromSchema(
            {false, QStringLiteral("Error reading serial database %1: %2").arg(opened.ledger->name(), error)},
            stop);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*records) != records->size() || !file.commit())
        return failed(Outcome::FileError,
                      QStringLiteral("Error writing %1: %2").arg(path, file.errorString()),
                      QString::fromLatin1(kSerialDBWriteTitle));
    syncDirectoryOf(path);
    return {Outcome::Succeeded,
            QStringLiteral("%1 units of %2 exported to %3.")
                .arg(records->size() / SerialRecordFormat::kRecordSize)
                .arg(opened.ledger->name(), path),
            {},
            path};
}

Answer importRecords(const LedgerAddress& into, const QString& path, const StopRequested& stop) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(Outcome::FileError,
                      QStringLiteral("Error reading Serial Number Database file: ") + file.errorString(),
                      QString::fromLatin1(kSerialDBOpenTitle));
    const QByteArray bytes = file.readAll();
    PgConnection connection;
    if (std::optional<Answer> refused = connect(connection, into.address, stop))
        return *refused;
    if (const QString schema = PgSchema::check(connection, kStatementTimeout, stop); !schema.isEmpty())
        return fromSchema({false, schema}, stop);
    const PgSchema::Answer answer =
        PgRangeSetup::importFile(connection, into.range, bytes, kStatementTimeout, stop);
    // A range with units already, or a log that cannot be imported as it
    // stands, is the rules' refusal; nothing was written.
    Answer result = fromSchema(answer, stop, connection.isOpen() ? Outcome::RuleRefused : Outcome::FileError);
    result.file = ledgerName(into);
    return result;
}

} // namespace SerialRangeAdmin

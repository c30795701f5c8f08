#include "PgRangeSetup.h"

#include "GeneralUtilities.h"
#include "SerialRecord.h"

#include <QHash>
#include <QStringList>

namespace PgRangeSetup {

namespace {

QByteArray blockBytes(const IdBlock& block) {
    QByteArray bytes;
    for (const qint16 byte : block)
        bytes.append(static_cast<char>(byte < 0 ? 0 : byte & 0xFF));
    return bytes;
}

// A memo as the database's text holds it: control characters (a NUL among
// them) become "?". The record keeps the bytes as they were.
QString plainText(const QString& text) {
    QString plain = text;
    for (QChar& c : plain)
        if (c.unicode() < 0x20)
            c = QLatin1Char('?');
    return plain;
}

// A text[] literal: every element quoted.
QByteArray textArray(const QStringList& items) {
    QByteArray literal = "{";
    for (const QString& item : items) {
        if (literal.size() > 1)
            literal += ',';
        literal += '"';
        for (const QChar c : item) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                literal += '\\';
            literal += QString(c).toUtf8();
        }
        literal += '"';
    }
    return literal + '}';
}

constexpr char kCreate[] =
    "INSERT INTO merlax.ranges (name, next_serial, lowest, highest, template_block, memo)"
    " VALUES ($1, $2, $2, $3, $4, $5) ON CONFLICT (name) DO NOTHING";

constexpr char kImportUnits[] =
    "INSERT INTO merlax.units"
    " (range, serial, taken, state, station, id_block, memo, record, logged_at, logged_order)"
    " SELECT $1, serial, i + (SELECT taken FROM merlax.ranges WHERE name = $1), 'logged', 'import',"
    "  substring($3::bytea FROM ((i - 1) * 8 + 1)::integer FOR 8), memo,"
    "  substring($4::bytea FROM ((i - 1) * 100 + 1)::integer FOR 100), now(), nextval('merlax.logged_order')"
    " FROM (SELECT s.serial, s.i, m.memo"
    "  FROM unnest($2::integer[]) WITH ORDINALITY AS s(serial, i)"
    "  JOIN unnest($5::text[]) WITH ORDINALITY AS m(memo, i) ON m.i = s.i ORDER BY s.i) AS file";

} // namespace

PgSchema::Answer create(PgConnection& connection, const NewRange& range, std::chrono::milliseconds timeout,
                        const PgConnection::StopRequested& stop) {
    const PgResult created = connection.exec(
        kCreate,
        {PgValue::text(range.name), PgValue::number(range.lowest), PgValue::number(range.highest),
         PgValue::raw(blockBytes(range.block)), PgValue::text(range.memo)},
        timeout, stop);
    if (!created.ok())
        return {false, created.error};
    if (created.affected == 0)
        return {true, QStringLiteral("Serial range %1 exists already; left as it is.").arg(range.name)};
    return {true, QStringLiteral("Serial range %1 created: serial numbers %2..%3.")
                      .arg(range.name)
                      .arg(range.lowest)
                      .arg(range.highest)};
}

PgSchema::Answer importFile(PgConnection& connection, const QString& range, const QByteArray& file,
                            std::chrono::milliseconds timeout, const PgConnection::StopRequested& stop) {
    using SerialRecordFormat::kRecordSize;
    const qsizetype records = file.size() / kRecordSize;
    if (records == 0)
        return {false, QStringLiteral("the file holds no record")};
    QByteArray serials = "{";
    QByteArray blocks;
    QStringList memos;
    QHash<qint32, qsizetype> recordOf;
    ParsedSerialRecord last;
    for (qsizetype n = 0; n < records; ++n) {
        last = parseSerialRecord(QByteArrayView(file).sliced(n * kRecordSize, kRecordSize));
        if (!last.terminated || last.serial < 1 || last.serial > 65535)
            return {false, QStringLiteral("record %1 gives no serial number").arg(n + 1)};
        if (const auto before = recordOf.constFind(last.serial); before != recordOf.cend())
            return {false, QStringLiteral("serial number %1 is in the file twice (records %2 and %3)")
                               .arg(last.serial)
                               .arg(*before + 1)
                               .arg(n + 1)};
        recordOf.insert(last.serial, n);
        serials += (n > 0 ? "," : "") + QByteArray::number(last.serial);
        blocks += blockBytes(last.idBlock);
        memos << plainText(last.memo);
    }
    serials += '}';
    qint32 highest = 0;
    for (auto it = recordOf.cbegin(); it != recordOf.cend(); ++it)
        highest = std::max(highest, it.key());

    const auto failed = [&](const QString& why) {
        if (connection.isOpen())
            connection.exec("ROLLBACK", {}, timeout, stop);
        return PgSchema::Answer{false, why};
    };
    PgResult result = connection.exec("BEGIN", {}, timeout, stop);
    if (!result.ok())
        return failed(result.error);
    NewRange fresh;
    fresh.name = range;
    result =
        connection.exec(kCreate,
                        {PgValue::text(range), PgValue::number(fresh.lowest), PgValue::number(fresh.highest),
                         PgValue::raw(blockBytes(fresh.block)), PgValue::text(QString())},
                        timeout, stop);
    if (!result.ok())
        return failed(result.error);
    // Stations taking numbers from the range wait until the import is in.
    result = connection.exec("SELECT 1 FROM merlax.ranges WHERE name = $1 FOR UPDATE", {PgValue::text(range)},
                             timeout, stop);
    if (!result.ok())
        return failed(result.error);
    result = connection.exec("SELECT count(*) FROM merlax.units WHERE range = $1", {PgValue::text(range)},
                             timeout, stop);
    if (!result.ok())
        return failed(result.error);
    if (result.numberAt(0, 0) > 0)
        return failed(QStringLiteral("range %1 has %2 units already: an import only starts a range")
                          .arg(range)
                          .arg(result.numberAt(0, 0)));
    result =
        connection.exec(kImportUnits,
                        {PgValue::text(range), PgValue{serials, false}, PgValue::raw(blocks),
                         PgValue::raw(file.first(records * kRecordSize)), PgValue{textArray(memos), false}},
                        timeout, stop);
    if (!result.ok())
        return failed(result.error);
    result = connection.exec("UPDATE merlax.ranges SET next_serial = GREATEST(lowest, $2::integer + 1), "
                             "template_block = $3, memo = $4, taken = taken + $5 WHERE name = $1",
                             {PgValue::text(range), PgValue::number(highest),
                              PgValue::raw(blockBytes(last.idBlock)), PgValue::text(plainText(last.memo)),
                              PgValue::number(records)},
                             timeout, stop);
    if (!result.ok())
        return failed(result.error);
    result = connection.exec("COMMIT", {}, timeout, stop);
    if (!result.ok())
        return failed(result.error);
    QString done = QStringLiteral("%1 units imported into range %2; ").arg(records).arg(range) +
                   (highest < 65535 ? QStringLiteral("the next serial number is %1.").arg(highest + 1)
                                    : QStringLiteral("no serial number is left."));
    if (const qsizetype tail = file.size() % kRecordSize; tail != 0)
        done += QStringLiteral(" The %1 bytes after the last whole record were not imported.").arg(tail);
    return {true, done};
}

} // namespace PgRangeSetup

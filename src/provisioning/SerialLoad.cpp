#include "SerialLoad.h"

#include "GeneralUtilities.h"
#include "IdBlock.h"
#include "SerialRecord.h"

#include <QIODevice>
#include <QStringList>

namespace {

SerialLoad takeOver(SerialLoad load, const ParsedSerialRecord& last) {
    load.lastSerialUnknown = last.serial < 0 || last.serial > SpentSerials::kHighest;
    for (size_t i = 0; i < load.idBlock.size(); ++i) {
        const qint16 byte = last.idBlock[i];
        load.idBlock[i] = byte != GeneralUtilities::kBadHex ? std::optional<qint16>(byte) : std::nullopt;
    }
    load.memo = last.memo;
    return load;
}

} // namespace

QString SerialLoad::statusText() const {
    QString text = badRecords != 0 ? QStringLiteral("Failed: %1 error lines found.").arg(badRecords)
                                   : QStringLiteral("File loaded with no errors.");
    if (lastSerialUnknown)
        text += QStringLiteral(" The last record's serial number leaves no next one: set the next serial "
                               "number by clicking it.");
    else if (!nextSerial)
        text +=
            QStringLiteral(" Serial number 65535 has been given: set the next serial number by clicking it.");
    QStringList unusable;
    for (size_t i = 0; i < idBlock.size(); ++i)
        if (!idBlock[i])
            unusable << QString::fromLatin1(IdBlockField::kNames[i]);
    if (!unusable.isEmpty())
        text += QStringLiteral(" Unusable in the last record, previous values kept: %1.")
                    .arg(unusable.join(", "));
    if (partialTailBytes != 0)
        text += QStringLiteral(" The file ends in a partial record of %1 bytes; it is completed before the "
                               "next record.")
                    .arg(partialTailBytes);
    return text;
}

QString SerialLoad::messageBoxText() const {
    return QStringLiteral("Error reading Serial Number Database file: ") + error;
}

SerialLoad readSerialRecords(QIODevice& device) {
    SerialLoad load;
    std::optional<ParsedSerialRecord> last;
    char record[SerialRecordFormat::kRecordSize];
    for (;;) {
        const qint64 got = device.read(record, sizeof record);
        if (got < 0) {
            SerialLoad failure;
            failure.failed = true;
            failure.outcome = Outcome::FileError;
            failure.error = device.errorString();
            return failure;
        }
        if (got < qint64(sizeof record)) {
            load.partialTailBytes = static_cast<int>(got);
            break;
        }
        const QByteArrayView bytes(record, sizeof record);
        // A record's number is spent even when the record is damaged elsewhere.
        load.serials.insert(serialField(bytes));
        ParsedSerialRecord parsed = parseSerialRecord(bytes);
        load.badRecords += parsed.bad ? 1 : 0;
        if (parsed.terminated)
            last = std::move(parsed);
    }
    if (last)
        load = takeOver(std::move(load), *last);
    const std::optional<qint32> highest = load.serials.highest();
    if (load.lastSerialUnknown || highest == SpentSerials::kHighest)
        load.nextSerial.reset();
    else
        load.nextSerial = highest.value_or(0) + 1;
    return load;
}

#include "SerialLoad.h"

#include "GeneralUtilities.h"
#include "IdBlock.h"
#include "SerialRecord.h"

#include <QIODevice>
#include <QStringList>

namespace {

constexpr qint32 kLastNextSerial = 65535;

SerialLoad takeOver(SerialLoad load, const ParsedSerialRecord& last) {
    const bool serialUsable = last.serial >= 0 && last.serial < kLastNextSerial;
    load.nextSerial = serialUsable ? std::optional<qint32>(last.serial + 1) : std::nullopt;
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
    if (!nextSerial)
        text += QStringLiteral(" The last record's serial number leaves no next one: set the next serial "
                               "number by clicking it.");
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
            failure.error = device.errorString();
            return failure;
        }
        if (got < qint64(sizeof record)) {
            load.partialTailBytes = static_cast<int>(got);
            break;
        }
        ParsedSerialRecord parsed = parseSerialRecord(QByteArrayView(record, sizeof record));
        load.badRecords += parsed.bad ? 1 : 0;
        if (parsed.terminated)
            last = std::move(parsed);
    }
    return last ? takeOver(std::move(load), *last) : load;
}

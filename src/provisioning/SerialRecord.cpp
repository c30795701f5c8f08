#include "SerialRecord.h"

#include "GeneralUtilities.h"
#include "TargetIdentity.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace SerialRecordFormat;

namespace {

// Offsets from 0 within a record.
constexpr int kSerialLength = 5;
constexpr int kIdBlockAt = 6;       // eight "HH," from byte 7
constexpr int kInfoHexAt = 37;      // InfoBytes[6..10] as "HH," from byte 38,
constexpr int kInfoAndCpuPairs = 9; // then CpuID[0..3] the same way
constexpr int kBLVersionAt = 64;    // "HH," for minor and major from byte 65
constexpr int kMemoAt = 70;
constexpr int kTerminatorAt = 97;

// The separator written between the first two fields of a date or time format
// whose letters are in `fieldLetters`, when it is a single character.
QChar separatorBetweenFields(const QString& format, const QString& fieldLetters) {
    qsizetype i = 0;
    while (i < format.size() && !fieldLetters.contains(format[i]))
        ++i;
    while (i < format.size() && fieldLetters.contains(format[i]))
        ++i;
    const qsizetype separatorStart = i;
    while (i < format.size() && !fieldLetters.contains(format[i]))
        ++i;
    if (i == format.size())
        return {};
    const QString separator = format.mid(separatorStart, i - separatorStart).trimmed();
    return separator.size() == 1 ? separator[0] : QChar();
}

char separatorOr(QChar found, const char* accepted, char fallback) {
    const char c = found.toLatin1();
    return c != 0 && std::strchr(accepted, c) != nullptr ? c : fallback;
}

void appendHex(QByteArray& record, qint32 value) {
    record.append(GeneralUtilities::BytetoHexStr(value & 0xFF).toLatin1());
    record.append(',');
}

void appendTwoDigits(QByteArray& record, int value) {
    value = std::abs(value) % 100;
    record.append(static_cast<char>('0' + value / 10));
    record.append(static_cast<char>('0' + value % 10));
}

QByteArray fittedMemo(const QString& memo) {
    QByteArray latin1;
    for (const char32_t c : memo.toUcs4())
        latin1.append(c <= 0xFF ? static_cast<char>(c) : '?');
    if (latin1.size() > kMemoLength)
        return latin1.right(kMemoLength);
    return QByteArray(kMemoLength - latin1.size(), ' ') + latin1;
}

qint16 hexAt(QByteArrayView record, int offset) {
    return GeneralUtilities::HexStrtoByte(QString::fromLatin1(record.sliced(offset, 2)));
}

} // namespace

DateTimeSeparators dateTimeSeparatorsOf(const QLocale& locale) {
    DateTimeSeparators separators;
    separators.date = separatorOr(
        separatorBetweenFields(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("dMy")), "/.-", '/');
    separators.time = separatorOr(
        separatorBetweenFields(locale.timeFormat(QLocale::ShortFormat), QStringLiteral("hHm")), ":.", ':');
    return separators;
}

QByteArray buildSerialRecord(quint16 serial, const IdBlock& idBlock, const TargetIdentity& identity,
                             const QString& memo, const QDateTime& when, DateTimeSeparators separators) {
    QByteArray record;
    record.reserve(kRecordSize);
    record.append(QByteArray::number(serial).rightJustified(kSerialLength, '0'));
    record.append(',');
    for (const qint16 byte : idBlock)
        appendHex(record, byte);
    for (int i = 0; i < 6; ++i)
        record.append(static_cast<char>(identity.InfoBytes[i] & 0xFF));
    record.append(',');
    for (size_t i = 6; i < identity.InfoBytes.size(); ++i)
        appendHex(record, identity.InfoBytes[i]);
    for (const qint16 value : identity.CpuID)
        appendHex(record, value);
    appendHex(record, identity.BLVersionMinor);
    appendHex(record, identity.BLVersionMajor);
    record.append(fittedMemo(memo));

    const QDate date = when.date();
    const QTime time = when.time();
    record.append(',');
    appendTwoDigits(record, date.day());
    record.append(separators.date);
    appendTwoDigits(record, date.month());
    record.append(separators.date);
    appendTwoDigits(record, date.year());
    record.append('-');
    appendTwoDigits(record, time.hour());
    record.append(separators.time);
    appendTwoDigits(record, time.minute());
    record.append(";\r\n");
    Q_ASSERT(record.size() == kRecordSize);
    return record;
}

qint32 serialField(QByteArrayView record) {
    return GeneralUtilities::DecStrtoLong(
        QString::fromLatin1(record.first(std::min<qsizetype>(record.size(), kSerialLength))));
}

ParsedSerialRecord parseSerialRecord(QByteArrayView record) {
    ParsedSerialRecord parsed;
    if (record.size() != kRecordSize || record[kTerminatorAt] != ';')
        return parsed;
    parsed.terminated = true;

    bool fieldsGood = true;
    const auto hexPair = [&](int offset, bool commaFollows) {
        const qint16 value = hexAt(record, offset);
        fieldsGood &= value != GeneralUtilities::kBadHex && (!commaFollows || record[offset + 2] == ',');
        return value;
    };
    parsed.serial = serialField(record);
    for (size_t i = 0; i < parsed.idBlock.size(); ++i)
        parsed.idBlock[i] = hexPair(kIdBlockAt + 3 * static_cast<int>(i), true);
    for (int i = 0; i < kInfoAndCpuPairs; ++i)
        hexPair(kInfoHexAt + 3 * i, true);
    hexPair(kBLVersionAt, false);
    hexPair(kBLVersionAt + 3, false);
    parsed.memo = QString::fromLatin1(record.sliced(kMemoAt, kMemoLength));
    parsed.bad = !fieldsGood;
    return parsed;
}

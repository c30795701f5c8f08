#pragma once

#include "IdBlock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

class QDateTime;
class QLocale;
struct TargetIdentity;

// One line of the .ser serial-number database: exactly 100 single-byte
// characters, ending in ";" CR LF. Byte positions in the comments count from 1.
namespace SerialRecordFormat {
inline constexpr int kRecordSize = 100;
inline constexpr int kMemoLength = 12;
} // namespace SerialRecordFormat

// The characters between day, month and year and between hour and minute in
// the record's ",dd/MM/yy-HH:mm".
struct DateTimeSeparators {
    char date = '/';
    char time = ':';
};

// The separators of the locale's short date and time formats. Only a single
// "/", "." or "-" between date fields and a single ":" or "." between hour and
// minute are taken (spaces around them ignored); anything else gives "/" and
// ":", so a record keeps its shape in every locale.
DateTimeSeparators dateTimeSeparatorsOf(const QLocale& locale);

// The record logged for one programmed unit: its serial, the ID block written
// to it, what it reported about itself afterwards, the memo and the time.
// The memo is fitted to 12 characters: padded with spaces on the left, or cut
// to its last 12; characters outside Latin-1 become "?".
QByteArray buildSerialRecord(quint16 serial, const IdBlock& idBlock, const TargetIdentity& identity,
                             const QString& memo, const QDateTime& when, DateTimeSeparators separators);

// What the loader takes from one record.
struct ParsedSerialRecord {
    // ";" at byte 98. Without it nothing else below is taken.
    bool terminated = false;
    // Not terminated, or a hex field or its comma is broken.
    bool bad = true;
    // DecStrtoLong of bytes 1-5: GeneralUtilities::kNoNumber when no number.
    qint32 serial = 0;
    // HexStrtoByte of each pair: GeneralUtilities::kBadHex for a bad one.
    IdBlock idBlock{};
    // Bytes 71-82 as they stand, leading spaces included.
    QString memo;
};

// The serial number in bytes 1-5 of a record, whatever the rest holds:
// GeneralUtilities::kNoNumber when there is none.
qint32 serialField(QByteArrayView record);

// Takes apart one 100-byte record; bytes 31-36 and the date are not looked at.
ParsedSerialRecord parseSerialRecord(QByteArrayView record);

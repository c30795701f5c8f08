#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Conversions between byte values and the text forms used on screen and in the
// fixed-format files. All of them are pure.
namespace GeneralUtilities {

// What DecStrtoLong returns when the text does not end in a digit.
inline constexpr qint32 kNoNumber = -32767;
// What HexStrtoByte returns for a bad hex digit (all 16 bits set).
inline constexpr qint16 kBadHex = -1;

// Bits 0..7 of the value.
qint16 LowByte(qint32 value);
// Bits 8..15 of the value's two's-complement form.
qint16 HighByte(qint32 value);
// True when 0 <= value <= 9.
bool IsDecDigit(qint32 value);
// The decimal number at the right-hand end of the text (at most its last five
// digits), negated when the text starts with "-"; kNoNumber when the text does
// not end in a digit.
qint32 DecStrtoLong(QStringView text);
// Two upper-case hex digits of the value's low byte.
QString BytetoHexStr(qint32 value);
// The byte written as the first two characters of the text in upper-case hex,
// or kBadHex. Throws std::invalid_argument when the text is shorter than two
// characters.
qint16 HexStrtoByte(QStringView text);

} // namespace GeneralUtilities

#include "GeneralUtilities.h"

#include <array>
#include <stdexcept>

namespace GeneralUtilities {

qint16 LowByte(qint32 value) {
    return static_cast<qint16>(value & 0xFF);
}

qint16 HighByte(qint32 value) {
    return static_cast<qint16>((value >> 8) & 0xFF);
}

bool IsDecDigit(qint32 value) {
    return value >= 0 && value <= 9;
}

qint32 DecStrtoLong(QStringView text) {
    constexpr int kSlots = 5;
    constexpr qint32 kUnfilled = 99; // never a digit
    const qsizetype length = text.size();
    std::array<qint32, kSlots> digit{};
    for (int k = 0; k < kSlots; ++k)
        digit[k] = length > k ? text[length - 1 - k].unicode() - 48 : kUnfilled;

    qint32 result = kNoNumber;
    if (IsDecDigit(digit[0])) {
        result = digit[0];
        qint32 weight = 10;
        for (int k = 1; k < kSlots && IsDecDigit(digit[k]); ++k, weight *= 10)
            result += digit[k] * weight;
    }
    if (length > 1 && text[0] == u'-')
        result = -result;
    return result;
}

QString BytetoHexStr(qint32 value) {
    // Only the low byte is ever shown, so the text is always two characters
    // long, even for a value that is negative or above 255.
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

namespace {
// The value of one upper-case hex digit, or -1.
int hexDigitValue(QChar c) {
    const char16_t code = c.unicode();
    if (code >= u'0' && code <= u'9')
        return code - u'0';
    if (code >= u'A' && code <= u'F')
        return code - u'A' + 10;
    return -1;
}
} // namespace

qint16 HexStrtoByte(QStringView text) {
    if (text.size() < 2)
        throw std::invalid_argument("HexStrtoByte needs at least two characters");
    const int low = hexDigitValue(text[1]);
    if (low < 0)
        return kBadHex;
    const int high = hexDigitValue(text[0]);
    if (high < 0)
        return kBadHex;
    return static_cast<qint16>(low + 16 * high);
}

} // namespace GeneralUtilities

// The hex and decimal helpers and the operator-number parsing on arbitrary
// text: the input decoded as Latin-1 (as the file readers do), as UTF-8 and as
// raw UTF-16 (text typed or pasted into a field, lone surrogates included).
// Numbers for the byte helpers, the rounding and the range come from the
// input's last bytes.

#include "Models.h"

#include "GeneralUtilities.h"
#include "OperatorNumber.h"

#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// The helpers under test; the answers they should give are the model's own.
using GeneralUtilities::BytetoHexStr;
using GeneralUtilities::DecStrtoLong;
using GeneralUtilities::HexStrtoByte;
using GeneralUtilities::HighByte;
using GeneralUtilities::IsDecDigit;
using GeneralUtilities::LowByte;

// Only a few leading characters are paired up for HexStrtoByte: the rest
// would add time, not cases.
constexpr qsizetype kHexWindows = 32;

bool isAsciiDigit(QChar c) {
    return Model::isAsciiDigit(c.unicode());
}

int hexDigit(QChar c) {
    return Model::hexDigit(c.unicode());
}

// The last run of digits, at most its last five, negated after a leading "-".
qint32 expectedDecimal(QStringView text) {
    qsizetype digits = 0;
    while (digits < text.size() && digits < 5 && isAsciiDigit(text[text.size() - 1 - digits]))
        ++digits;
    qint32 value = Model::kNoNumber;
    if (digits > 0)
        value = QStringView(text).last(digits).toInt();
    return text.size() > 1 && text[0] == u'-' ? -value : value;
}

bool isAsciiBlank(QChar c) {
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
        return true;
    default:
        return false;
    }
}

qsizetype skipDigits(QStringView text, qsizetype at) {
    while (at < text.size() && isAsciiDigit(text[at]))
        ++at;
    return at;
}

// The number at the start of the text after ASCII blanks: digits with an
// optional point and fraction, or a point and digits, each with an optional
// sign and exponent. 0 when there is none or it is not finite.
double expectedLeadingNumber(QStringView text) {
    qsizetype at = 0;
    while (at < text.size() && isAsciiBlank(text[at]))
        ++at;
    const qsizetype start = at;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        ++at;
    const qsizetype integerEnd = skipDigits(text, at);
    bool hasDigits = integerEnd > at;
    at = integerEnd;
    if (at < text.size() && text[at] == u'.') {
        const qsizetype fractionEnd = skipDigits(text, at + 1);
        if (hasDigits || fractionEnd > at + 1) {
            hasDigits = true;
            at = fractionEnd;
        }
    }
    if (!hasDigits)
        return 0.0;
    if (at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
        qsizetype exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == u'+' || text[exponent] == u'-'))
            ++exponent;
        const qsizetype exponentEnd = skipDigits(text, exponent);
        if (exponentEnd > exponent)
            at = exponentEnd;
    }
    const std::string number = text.sliced(start, at - start).toLatin1().toStdString();
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

bool nearlyEqual(double a, double b) {
    // Two correct parsers can differ in the last bit of a very long number
    // or on whether a subnormal counts as underflow.
    const double difference = std::fabs(a - b);
    return difference <= 1e-12 * std::max(std::fabs(a), std::fabs(b)) || difference < 1e-290;
}

void checkWholeInRange(double value, int low, int high) {
    const double whole = OperatorNumber::roundHalfEven(value);
    const std::optional<int> inRange = OperatorNumber::wholeInRange(value, low, high);
    FUZZ_CHECK(inRange.has_value() == (whole >= low && whole <= high));
    if (inRange)
        FUZZ_CHECK(*inRange == whole && *inRange >= low && *inRange <= high);
}

void checkText(const QString& text, int low, int high) {
    FUZZ_CHECK(DecStrtoLong(text) == expectedDecimal(text));

    if (text.size() < 2) {
        bool threw = false;
        try {
            HexStrtoByte(text);
        } catch (const std::invalid_argument&) {
            threw = true;
        }
        FUZZ_CHECK(threw);
    }
    for (qsizetype i = 0; i + 1 < std::min(text.size(), kHexWindows); ++i) {
        const QStringView rest = QStringView(text).sliced(i);
        const int highDigit = hexDigit(rest[0]);
        const int lowDigit = hexDigit(rest[1]);
        FUZZ_CHECK(HexStrtoByte(rest) ==
                   (highDigit < 0 || lowDigit < 0 ? Model::kBadHex : highDigit * 16 + lowDigit));
    }

    const double number = OperatorNumber::leadingNumber(text);
    FUZZ_CHECK(std::isfinite(number));
    FUZZ_CHECK(nearlyEqual(number, expectedLeadingNumber(text)));
    checkWholeInRange(number, low, high);
}

void checkByte(qint32 value) {
    FUZZ_CHECK(LowByte(value) == (value & 0xFF));
    FUZZ_CHECK(HighByte(value) == static_cast<qint16>((static_cast<quint32>(value) >> 8) & 0xFF));
    FUZZ_CHECK(IsDecDigit(value) == (value >= 0 && value <= 9));
    const QString hex = BytetoHexStr(value);
    FUZZ_CHECK(hex.size() == 2 && hexDigit(hex[0]) >= 0 && hexDigit(hex[1]) >= 0);
    FUZZ_CHECK(hexDigit(hex[0]) * 16 + hexDigit(hex[1]) == (value & 0xFF));
    FUZZ_CHECK(HexStrtoByte(hex) == (value & 0xFF));
}

void checkRounding(double value, int roundingMode) {
    // Whatever rounding the caller had set, halves go to even and the
    // caller's rounding is back afterwards.
    const int previous = std::fegetround();
    std::fesetround(roundingMode);
    const double whole = OperatorNumber::roundHalfEven(value);
    FUZZ_CHECK(std::fegetround() == roundingMode);
    std::fesetround(previous);

    if (std::isnan(value)) {
        FUZZ_CHECK(std::isnan(whole));
        return;
    }
    FUZZ_CHECK(whole == std::trunc(whole));
    if (std::isinf(value)) {
        FUZZ_CHECK(whole == value);
        return;
    }
    const double distance = std::fabs(whole - value);
    FUZZ_CHECK(distance <= 0.5);
    if (distance == 0.5)
        FUZZ_CHECK(std::fmod(whole, 2.0) == 0.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider numbers(data, size);
    const qint32 byteValue = numbers.ConsumeIntegral<qint32>();
    const int low = numbers.ConsumeIntegral<int>();
    const int high = numbers.ConsumeIntegral<int>();
    const double value = std::bit_cast<double>(numbers.ConsumeIntegral<uint64_t>());
    static constexpr int kRoundingModes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    const int roundingMode = numbers.PickValueInArray(kRoundingModes);

    checkByte(byteValue);
    checkRounding(value, roundingMode);
    checkWholeInRange(value, low, high);

    const char* bytes = reinterpret_cast<const char*>(data);
    checkText(QString::fromLatin1(bytes, qsizetype(size)), low, high);
    checkText(QString::fromUtf8(bytes, qsizetype(size)), low, high);
    std::u16string utf16(size / 2, u'\0');
    if (!utf16.empty())
        std::memcpy(utf16.data(), data, utf16.size() * sizeof(char16_t));
    checkText(QString::fromUtf16(utf16.data(), qsizetype(utf16.size())), low, high);
    return 0;
}

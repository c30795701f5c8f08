#include "OperatorNumber.h"

#include <QtEndian>
#include <QtTest>

#include <bit>
#include <cfenv>
#include <cstring>
#include <string>
#include <vector>

using namespace OperatorNumber;

class TestOperatorNumber : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber() {
        const std::pair<const char*, double> cases[] = {
            {"42", 42},    {"   17", 17}, {"12abc", 12}, {"2.5", 2.5}, {".5", 0.5}, {"-3", -3},
            {"1e3", 1000}, {"abc", 0},    {" ", 0},      {"-", 0},     {"1e999", 0}};
        for (const auto& [text, value] : cases)
            QCOMPARE(OperatorNumber::leadingNumber(QString::fromLatin1(text)), value);
    }

    // A number at the start is read whatever follows it, even text that is
    // not valid UTF-16. The fuzzer's input, taken as UTF-16: "8", U+1033,
    // five lone low surrogates and a NUL; it read as 0.
    void leadingNumberBeforeInvalidText() {
        const QByteArray input = QByteArray::fromHex("38003310dddddddddddddddddddd0000");
        std::u16string text(static_cast<size_t>(input.size()) / 2, u'\0');
        std::memcpy(text.data(), input.constData(), text.size() * sizeof(char16_t));
        QCOMPARE(OperatorNumber::leadingNumber(QString::fromUtf16(text.data(), qsizetype(text.size()))), 8);
        QCOMPARE(OperatorNumber::leadingNumber(u" -2.5\xDC00"), -2.5);
    }

    // Whatever rounding mode the caller has set, halves still go to even and
    // everything else to the nearest whole number; the caller's mode stays.
    // The first value came from the fuzzer as the eight bytes below, with
    // the mode set to round upwards, and was rounded to 1.
    void halvesToEvenInEveryRoundingMode() {
        const double tiny =
            std::bit_cast<double>(qFromLittleEndian<quint64>("\x00\x00\x00\x00\x00\x00\x2c\x00"));
        const std::pair<double, double> cases[] = {{tiny, 0}, {0.3, 0},   {-0.3, 0},    {0.5, 0},
                                                   {1.5, 2},  {2.5, 2},   {3.5, 4},     {-2.5, -2},
                                                   {2.6, 3},  {-3.5, -4}, {254.5, 254}, {255.5, 256}};
        for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST}) {
            const int previous = std::fegetround();
            std::fesetround(mode);
            std::vector<double> rounded;
            for (const auto& testCase : cases)
                rounded.push_back(roundHalfEven(testCase.first));
            const int after = std::fegetround();
            std::fesetround(previous);
            QCOMPARE(after, mode);
            for (size_t i = 0; i < rounded.size(); ++i)
                QCOMPARE(rounded[i], cases[i].second);
        }
    }

    void range() {
        QCOMPARE(wholeInRange(255.4, 1, 255), std::optional<int>(255));
        QCOMPARE(wholeInRange(255.5, 1, 255), std::nullopt);
        QCOMPARE(wholeInRange(0.5, 1, 255), std::nullopt);
        QCOMPARE(wholeInRange(1e30, 1, 255), std::nullopt);
        QCOMPARE(wholeInRange(std::nan(""), 1, 255), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestOperatorNumber)
#include "tst_OperatorNumber.moc"

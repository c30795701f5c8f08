#include "GeneralUtilities.h"
#include "OperatorNumber.h"
#include "TestKit.h"

#include <QtEndian>

#include <bit>
#include <cfenv>
#include <cstring>
#include <string>
#include <vector>

using namespace GeneralUtilities;
using namespace OperatorNumber;

// The helpers that read and write numbers, each against its cases.
class TestGeneralUtilities : public QObject {
    Q_OBJECT
private slots:
    void bytetoHexStr_data() {
        addRows({"0 | 00", "9 | 09", "10 | 0A", "15 | 0F", "16 | 10", "90 | 5A", "171 | AB", "255 | FF",
                 "256 | 00", "300 | 2C", "-1 | FF"});
    }
    void bytetoHexStr() {
        QCOMPARE(BytetoHexStr(QByteArray(QTest::currentDataTag()).toInt()), fields<1>()[0]);
    }

    // "A5xyz": characters after the second are ignored; lower case is refused;
    // "_" stands for a blank.
    void hexStrtoByte_data() {
        addRows({"00 | 0", "7F | 127", "FF | 255", "A5xyz | 165", "ff | -1", "G0 | -1", "0G | -1", "_5 | -1",
                 "9: | -1", "@A | -1"});
    }
    void hexStrtoByte() {
        const qint16 value = HexStrtoByte(QString::fromLatin1(QTest::currentDataTag()).replace('_', ' '));
        QCOMPARE(QString::number(value), fields<1>()[0]);
        QCOMPARE(quint16(value) == 0xFFFF, value == -1); // the error is all ones
    }
    void decStrtoLong_data() {
        addRows({"00042 | 42", "-17 | -17", "- | -32767", "-a | 32767", "(empty) | -32767", "12a45 | 45",
                 "1234567 | 34567", "-123456 | -23456", "42_ | -32767", "Serial:00321 | 321"});
    }
    void decStrtoLong() {
        const QString text =
            QString::fromLatin1(QTest::currentDataTag()).replace("(empty)", "").replace('_', ' ');
        QCOMPARE(QString::number(DecStrtoLong(text)), fields<1>()[0]);
    }

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

QTEST_GUILESS_MAIN(TestGeneralUtilities)
#include "tst_GeneralUtilities.moc"

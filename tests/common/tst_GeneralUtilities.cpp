#include "GeneralUtilities.h"

#include <QtTest>

#include <stdexcept>

using namespace GeneralUtilities;

// Each helper against a table of cases; a failure names the case.
class TestGeneralUtilities : public QObject {
    Q_OBJECT
private slots:
    void bytetoHexStr() {
        const std::pair<int, const char*> cases[] = {{0, "00"},   {9, "09"},   {10, "0A"},  {15, "0F"},
                                                     {16, "10"},  {90, "5A"},  {171, "AB"}, {255, "FF"},
                                                     {256, "00"}, {300, "2C"}, {-1, "FF"}};
        for (const auto& [value, text] : cases)
            QCOMPARE(BytetoHexStr(value), QString::fromLatin1(text));
    }

    void hexStrtoByte() {
        const std::pair<const char*, int> cases[] = {{"00", 0},  {"7F", 127}, {"FF", 255}, {"A5xyz", 165},
                                                     {"ff", -1}, {"G0", -1},  {"0G", -1},  {" 5", -1},
                                                     {"9:", -1}, {"@A", -1}};
        for (const auto& [text, value] : cases)
            QCOMPARE(int(HexStrtoByte(QString::fromLatin1(text))), value);
        QCOMPARE(quint16(HexStrtoByte(u"zz")), quint16(0xFFFF)); // the error is all ones
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexStrtoByte(u"F"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexStrtoByte(u""));
    }

    void decStrtoLong() {
        const std::pair<const char*, int> cases[] = {
            {"12345", 12345},    {"00042", 42}, {"-17", -17},    {"-", -32767},
            {"-a", 32767},       {"", -32767},  {"12a45", 45},   {"1234567", 34567},
            {"-123456", -23456}, {"7", 7},      {"42 ", -32767}, {"Serial:00321", 321}};
        for (const auto& [text, value] : cases)
            QCOMPARE(DecStrtoLong(QString::fromLatin1(text)), value);
    }

    void highAndLowByte() {
        const std::tuple<int, int, int> cases[] = {{1234, 4, 210}, {65535, 255, 255},
                                                   {65536, 0, 0},  {-1, 255, 255},
                                                   {-256, 255, 0}, {0x12345678, 0x56, 0x78}};
        for (const auto& [value, high, low] : cases) {
            QCOMPARE(int(HighByte(value)), high);
            QCOMPARE(int(LowByte(value)), low);
        }
    }

    void isDecDigit() {
        QVERIFY(!IsDecDigit(-1));
        QVERIFY(IsDecDigit(0));
        QVERIFY(IsDecDigit(9));
        QVERIFY(!IsDecDigit(10));
    }
};

QTEST_GUILESS_MAIN(TestGeneralUtilities)
#include "tst_GeneralUtilities.moc"

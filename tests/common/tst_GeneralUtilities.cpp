#include "GeneralUtilities.h"
#include "TestKit.h"

#include <stdexcept>

using namespace GeneralUtilities;

// Each helper against a table of cases named after their input.
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
    void hexStrtoByteNeedsTwoCharacters() {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexStrtoByte(u"F"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexStrtoByte(u""));
    }

    void decStrtoLong_data() {
        addRows({"12345 | 12345", "00042 | 42", "-17 | -17", "- | -32767", "-a | 32767", "(empty) | -32767",
                 "12a45 | 45", "1234567 | 34567", "-123456 | -23456", "7 | 7", "42_ | -32767",
                 "Serial:00321 | 321"});
    }
    void decStrtoLong() {
        const QString text =
            QString::fromLatin1(QTest::currentDataTag()).replace("(empty)", "").replace('_', ' ');
        QCOMPARE(QString::number(DecStrtoLong(text)), fields<1>()[0]);
    }

    void highAndLowByte_data() {
        addRows({"1234 | 4 210", "65535 | 255 255", "65536 | 0 0", "-1 | 255 255", "-256 | 255 0",
                 "305419896 | 86 120"});
    }
    void highAndLowByte() {
        const qint32 value = QByteArray(QTest::currentDataTag()).toInt();
        QCOMPARE(QStringLiteral("%1 %2").arg(HighByte(value)).arg(LowByte(value)), fields<1>()[0]);
    }

    void isDecDigit_data() { addRows({"-1 | false", "0 | true", "9 | true", "10 | false"}); }
    void isDecDigit() {
        QCOMPARE(IsDecDigit(QByteArray(QTest::currentDataTag()).toInt()) ? "true" : "false", fields<1>()[0]);
    }
};

QTEST_GUILESS_MAIN(TestGeneralUtilities)
#include "tst_GeneralUtilities.moc"

#include "GeneralUtilities.h"

#include <QtTest>

#include <stdexcept>

using namespace GeneralUtilities;

class TestGeneralUtilities : public QObject {
    Q_OBJECT
private slots:
    void bytetoHexStr_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "00";
        QTest::newRow("9") << 9 << "09";
        QTest::newRow("10") << 10 << "0A";
        QTest::newRow("15") << 15 << "0F";
        QTest::newRow("16") << 16 << "10";
        QTest::newRow("90") << 90 << "5A";
        QTest::newRow("171") << 171 << "AB";
        QTest::newRow("255") << 255 << "FF";
        QTest::newRow("256 wraps") << 256 << "00";
        QTest::newRow("300 wraps") << 300 << "2C";
        QTest::newRow("negative keeps two digits") << -1 << "FF";
    }
    void bytetoHexStr() {
        QFETCH(int, value);
        QFETCH(QString, text);
        QCOMPARE(BytetoHexStr(value), text);
    }

    void hexStrtoByte_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("00") << "00" << 0;
        QTest::newRow("7F") << "7F" << 127;
        QTest::newRow("FF") << "FF" << 255;
        QTest::newRow("A5 with tail") << "A5xyz" << 165;
        QTest::newRow("lower case") << "ff" << -1;
        QTest::newRow("bad high digit") << "G0" << -1;
        QTest::newRow("bad low digit") << "0G" << -1;
        QTest::newRow("blank high digit") << " 5" << -1;
        QTest::newRow("colon after 9") << "9:" << -1;
        QTest::newRow("at sign before A") << "@A" << -1;
    }
    void hexStrtoByte() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(static_cast<int>(HexStrtoByte(text)), value);
    }
    void hexStrtoByteRejectsShortText() {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexStrtoByte(u"F"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, HexStrtoByte(u""));
    }
    void hexStrtoByteErrorIsAllOnes() {
        QCOMPARE(static_cast<quint16>(HexStrtoByte(u"zz")), quint16(0xFFFF));
    }

    void decStrtoLong_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("five digits") << "12345" << 12345;
        QTest::newRow("leading zeros") << "00042" << 42;
        QTest::newRow("negative") << "-17" << -17;
        QTest::newRow("lone minus") << "-" << -32767;
        QTest::newRow("minus letter") << "-a" << 32767;
        QTest::newRow("empty") << "" << -32767;
        QTest::newRow("letter inside") << "12a45" << 45;
        QTest::newRow("seven digits") << "1234567" << 34567;
        QTest::newRow("negative six digits") << "-123456" << -23456;
        QTest::newRow("one digit") << "7" << 7;
        QTest::newRow("trailing blank") << "42 " << -32767;
        QTest::newRow("record field") << "Serial:00321" << 321;
    }
    void decStrtoLong() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(DecStrtoLong(text), value);
    }

    void highAndLowByte_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("low");
        QTest::newRow("1234") << 1234 << 4 << 210;
        QTest::newRow("65535") << 65535 << 255 << 255;
        QTest::newRow("65536") << 65536 << 0 << 0;
        QTest::newRow("-1") << -1 << 255 << 255;
        QTest::newRow("-256") << -256 << 255 << 0;
        QTest::newRow("0x12345678") << 0x12345678 << 0x56 << 0x78;
    }
    void highAndLowByte() {
        QFETCH(int, value);
        QFETCH(int, high);
        QFETCH(int, low);
        QCOMPARE(static_cast<int>(HighByte(value)), high);
        QCOMPARE(static_cast<int>(LowByte(value)), low);
    }

    void isDecDigit_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("digit");
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("0") << 0 << true;
        QTest::newRow("9") << 9 << true;
        QTest::newRow("10") << 10 << false;
    }
    void isDecDigit() {
        QFETCH(int, value);
        QFETCH(bool, digit);
        QCOMPARE(IsDecDigit(value), digit);
    }
};

QTEST_GUILESS_MAIN(TestGeneralUtilities)
#include "tst_GeneralUtilities.moc"

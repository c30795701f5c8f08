#include "IdentityTexts.h"
#include "TargetIdentity.h"

#include <QtTest>

class TestIdentityTexts : public QObject {
    Q_OBJECT
private slots:
    void systemNames_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "Undefined";
        QTest::newRow("1") << 1 << "Solvane";
        QTest::newRow("2") << 2 << "MERLAX Linkbay";
        QTest::newRow("3") << 3 << "MERLAX System Unit";
        QTest::newRow("4") << 4 << "Undefined";
        QTest::newRow("8") << 8 << "MERLAX Stabrix";
        QTest::newRow("16") << 16 << "MERLAX Cuedeck";
        QTest::newRow("17") << 17 << "MERLAX Brushless Driver";
        QTest::newRow("255") << 255 << "Undefined";
    }
    void systemNames() {
        QFETCH(int, id);
        QFETCH(QString, text);
        QCOMPARE(SystemIDtoStr(static_cast<qint16>(id)), text);
    }

    void subSystemNames_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("sub");
        QTest::addColumn<QString>("text");
        QTest::newRow("1/1") << 1 << 1 << "PWM";
        QTest::newRow("1/8") << 1 << 8 << "RC/Analog";
        QTest::newRow("1/10") << 1 << 10 << "PWM (FF)";
        QTest::newRow("1/11") << 1 << 11 << "PWM (Enh PID)";
        QTest::newRow("1/15") << 1 << 15 << "-> Stabrix (2-axis)";
        QTest::newRow("1/16") << 1 << 16 << "-> Stabrix (3-axis)";
        QTest::newRow("1/17") << 1 << 17 << "-> Stabrix (3-axis Pro)";
        QTest::newRow("1/2") << 1 << 2 << "Undefined";
        QTest::newRow("2/1") << 2 << 1 << "System 3.0";
        QTest::newRow("3/1") << 3 << 1 << "SysCntrl 3.3";
        QTest::newRow("3/2") << 3 << 2 << "FltCntrl 3.3";
        QTest::newRow("8/15") << 8 << 15 << "-> 2-axis";
        QTest::newRow("8/16") << 8 << 16 << "-> 3-axis";
        QTest::newRow("8/17") << 8 << 17 << "-> 3-axis Pro";
        QTest::newRow("8/1 listed elsewhere") << 8 << 1 << "Undefined";
        QTest::newRow("16/1 is empty") << 16 << 1 << "";
        QTest::newRow("16/2") << 16 << 2 << "Undefined";
        QTest::newRow("17/1") << 17 << 1 << "(2-Axis)";
        QTest::newRow("17/2") << 17 << 2 << "(1-Axis)";
        QTest::newRow("0/0") << 0 << 0 << "Undefined";
    }
    void subSystemNames() {
        QFETCH(int, id);
        QFETCH(int, sub);
        QFETCH(QString, text);
        const QString result = SubSystemIDtoStr(static_cast<qint16>(id), static_cast<qint16>(sub));
        QCOMPARE(result, text);
    }

    void errorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QStringList named{"OK",
                                "InvalidCommand",
                                "MsgChecksumFail",
                                "SysIDmismatch",
                                "SubsysIDmismatch",
                                "SerialNo mismatch",
                                "EncDataChSumFail",
                                "IDlocked",
                                "MemWriteFail",
                                "InvParam",
                                "No Permission"};
        for (int code = 0; code < named.size(); ++code)
            QTest::addRow("%d", code) << code << named[code];
        QTest::newRow("-1") << -1 << "NoResp.";
        QTest::newRow("-2") << -2 << "Code: -2";
        QTest::newRow("11") << 11 << "Code: 11";
        QTest::newRow("255") << 255 << "Code: 255";
    }
    void errorTexts() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(ErrorCodetoStr(static_cast<qint16>(code)), text);
    }

    void firmwareSystemNames_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("sub");
        QTest::addColumn<bool>("hasText");
        QTest::addColumn<QString>("text");
        for (int sub : {1, 8, 10})
            QTest::addRow("1/%d", sub) << 1 << sub << true << "Orbin Gimbal Stabiliser";
        for (int sub : {15, 16})
            QTest::addRow("1/%d", sub) << 1 << sub << true << "MERLAX Stabrix System";
        for (int sub : {0, 2, 11, 17})
            QTest::addRow("1/%d no text", sub) << 1 << sub << false << "";
        QTest::newRow("2/any") << 2 << 99 << true << "MERLAX Linkbay";
        QTest::newRow("3/any") << 3 << 1 << true << "MERLAX 3.3";
        QTest::newRow("8/any") << 8 << 0 << true << "MERLAX Stabrix";
        QTest::newRow("16/any") << 16 << 7 << true << "MERLAX Cuedeck";
        QTest::newRow("17/1") << 17 << 1 << true << "MERLAX 2-Axis BLD";
        QTest::newRow("17/2") << 17 << 2 << true << "MERLAX 1-Axis BLD";
        QTest::newRow("17/3") << 17 << 3 << true << "MERLAX BLD(xxxxxx)";
        QTest::newRow("4/1") << 4 << 1 << true << "Undefined";
    }
    void firmwareSystemNames() {
        QFETCH(int, id);
        QFETCH(int, sub);
        QFETCH(bool, hasText);
        QFETCH(QString, text);
        const auto result = FwSystemIDtoStr(static_cast<qint16>(id), static_cast<qint16>(sub));
        QCOMPARE(result.has_value(), hasText);
        if (hasText)
            QCOMPARE(*result, text);
    }

    void printedSerial() {
        TargetIdentity id;
        QCOMPARE(GetSerialStr(id), QStringLiteral("0000-0000:000000"));
        id.SystemID = 1;
        id.SubsystemID = 10;
        id.SerialLow = 0x34;
        id.SerialHigh = 0x12;
        QCOMPARE(GetSerialStr(id), QStringLiteral("010A-1234:000000"));
        id.SystemID = 17;
        id.SubsystemID = 2;
        id.SerialLow = 0xEF;
        id.SerialHigh = 0xBE;
        id.IDByte1 = 0xA;
        id.IDByte2 = 0xFF;
        id.IDByte3 = 0x5A;
        QCOMPARE(GetSerialStr(id), QStringLiteral("1102-BEEF:0AFF5A"));
    }
};

QTEST_GUILESS_MAIN(TestIdentityTexts)
#include "tst_IdentityTexts.moc"

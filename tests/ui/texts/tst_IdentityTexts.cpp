#include "IdentityDisplay.h"
#include "IdentityTexts.h"
#include "TargetIdentity.h"

#include <QtTest>

class TestIdentityTexts : public QObject {
    Q_OBJECT
private slots:
    // Every row of the module tables, and the pairs next to them.
    void moduleNames_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("sub");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("subSystem");
        const std::tuple<int, int, const char*, const char*> rows[] = {
            {0, 0, "Undefined", "Undefined"},
            {1, 1, "Solvane", "PWM"},
            {1, 8, "Solvane", "RC/Analog"},
            {1, 10, "Solvane", "PWM (FF)"},
            {1, 11, "Solvane", "PWM (Enh PID)"},
            {1, 15, "Solvane", "-> Stabrix (2-axis)"},
            {1, 16, "Solvane", "-> Stabrix (3-axis)"},
            {1, 17, "Solvane", "-> Stabrix (3-axis Pro)"},
            {1, 2, "Solvane", "Undefined"},
            {1, 9, "Solvane", "Undefined"},
            {2, 1, "MERLAX Linkbay", "System 3.0"},
            {2, 2, "MERLAX Linkbay", "Undefined"},
            {3, 1, "MERLAX System Unit", "SysCntrl 3.3"},
            {3, 2, "MERLAX System Unit", "FltCntrl 3.3"},
            {3, 3, "MERLAX System Unit", "Undefined"},
            {4, 1, "Undefined", "Undefined"},
            {7, 15, "Undefined", "Undefined"},
            {8, 1, "MERLAX Stabrix", "Undefined"}, // a sub-system listed under another system
            {8, 15, "MERLAX Stabrix", "-> 2-axis"},
            {8, 16, "MERLAX Stabrix", "-> 3-axis"},
            {8, 17, "MERLAX Stabrix", "-> 3-axis Pro"},
            {9, 16, "Undefined", "Undefined"},
            {15, 1, "Undefined", "Undefined"},
            {16, 1, "MERLAX Cuedeck", ""},
            {16, 2, "MERLAX Cuedeck", "Undefined"},
            {17, 1, "MERLAX Brushless Driver", "(2-Axis)"},
            {17, 2, "MERLAX Brushless Driver", "(1-Axis)"},
            {17, 3, "MERLAX Brushless Driver", "Undefined"},
            {18, 1, "Undefined", "Undefined"},
            {255, 255, "Undefined", "Undefined"}};
        for (const auto& [id, sub, system, subSystem] : rows)
            QTest::addRow("%d/%d", id, sub)
                << id << sub << QString::fromLatin1(system) << QString::fromLatin1(subSystem);
    }
    void moduleNames() {
        QFETCH(int, id);
        QFETCH(int, sub);
        QFETCH(QString, system);
        QFETCH(QString, subSystem);
        QCOMPARE(SystemIDtoStr(qint16(id)), system);
        QCOMPARE(SubSystemIDtoStr(qint16(id), qint16(sub)), subSystem);
    }

    void errorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const std::pair<int, const char*> rows[] = {
            {-2, "Code: -2"},        {-1, "NoResp."},          {0, "OK"},
            {1, "InvalidCommand"},   {2, "MsgChecksumFail"},   {3, "SysIDmismatch"},
            {4, "SubsysIDmismatch"}, {5, "SerialNo mismatch"}, {6, "EncDataChSumFail"},
            {7, "IDlocked"},         {8, "MemWriteFail"},      {9, "InvParam"},
            {10, "No Permission"},   {11, "Code: 11"},         {255, "Code: 255"}};
        for (const auto& [code, text] : rows)
            QTest::addRow("%d", code) << code << QString::fromLatin1(text);
    }
    void errorTexts() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(ErrorCodetoStr(qint16(code)), text);
    }

    // No text (a null string here) leaves the caller's label as it was.
    void firmwareSystemNames_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("sub");
        QTest::addColumn<QString>("text");
        const std::tuple<int, int, const char*> rows[] = {{0, 1, "Undefined"},
                                                          {1, 0, nullptr},
                                                          {1, 1, "Orbin Gimbal Stabiliser"},
                                                          {1, 2, nullptr},
                                                          {1, 8, "Orbin Gimbal Stabiliser"},
                                                          {1, 10, "Orbin Gimbal Stabiliser"},
                                                          {1, 11, nullptr},
                                                          {1, 15, "MERLAX Stabrix System"},
                                                          {1, 16, "MERLAX Stabrix System"},
                                                          {1, 17, nullptr},
                                                          {2, 0, "MERLAX Linkbay"},
                                                          {2, 200, "MERLAX Linkbay"},
                                                          {3, 9, "MERLAX 3.3"},
                                                          {4, 1, "Undefined"},
                                                          {8, 3, "MERLAX Stabrix"},
                                                          {16, 7, "MERLAX Cuedeck"},
                                                          {17, 0, "MERLAX BLD(xxxxxx)"},
                                                          {17, 1, "MERLAX 2-Axis BLD"},
                                                          {17, 2, "MERLAX 1-Axis BLD"},
                                                          {17, 3, "MERLAX BLD(xxxxxx)"},
                                                          {18, 1, "Undefined"}};
        for (const auto& [id, sub, text] : rows)
            QTest::addRow("%d/%d", id, sub) << id << sub << (text ? QString::fromLatin1(text) : QString());
    }
    void firmwareSystemNames() {
        QFETCH(int, id);
        QFETCH(int, sub);
        QFETCH(QString, text);
        const auto result = FwSystemIDtoStr(qint16(id), qint16(sub));
        QCOMPARE(result.has_value(), !text.isNull());
        if (result)
            QCOMPARE(*result, text);
    }

    void printedIdentity() {
        TargetIdentity id;
        QCOMPARE(GetSerialStr(id), QStringLiteral("0000-0000:000000"));
        id.SystemID = 17;
        id.SubsystemID = 2;
        id.SerialLow = 0xEF;
        id.SerialHigh = 0xBE;
        id.IDByte1 = 0xA;
        id.IDByte2 = 0xFF;
        id.IDByte3 = 0x5A;
        id.BLVersionMajor = 1;
        id.BLVersionMinor = 5;
        id.BLCapabilities = 3;
        id.AppVersionMajor = 255;
        id.AppVersionMinor = 7;
        QCOMPARE(GetSerialStr(id), QStringLiteral("1102-BEEF:0AFF5A"));
        const IdentityDisplay d = DisplayIdentity(id);
        QCOMPARE(d.bootloaderVersion, QStringLiteral("1:05[03]"));
        QCOMPARE(d.appVersion, QStringLiteral("255:07"));
        QCOMPARE(d.mainSystem, QStringLiteral("MERLAX Brushless Driver : (1-Axis)"));
        QCOMPARE(d.idBlock[0], QStringLiteral("$00"));
        QCOMPARE(FirmwareVersionText(0, 5), QStringLiteral("0.05"));
    }
};

QTEST_GUILESS_MAIN(TestIdentityTexts)
#include "tst_IdentityTexts.moc"

#include "IdentityDisplay.h"
#include "IdentityTexts.h"
#include "TargetIdentity.h"

#include <QtTest>

class TestIdentityTexts : public QObject {
    Q_OBJECT
private slots:
    void moduleNames() {
        const std::tuple<int, int, const char*, const char*> cases[] = {
            {0, 0, "Undefined", "Undefined"},
            {1, 10, "Solvane", "PWM (FF)"},
            {1, 17, "Solvane", "-> Stabrix (3-axis Pro)"},
            {1, 2, "Solvane", "Undefined"},
            {2, 1, "MERLAX Linkbay", "System 3.0"},
            {3, 1, "MERLAX System Unit", "SysCntrl 3.3"},
            {3, 2, "MERLAX System Unit", "FltCntrl 3.3"},
            {4, 1, "Undefined", "Undefined"},
            {8, 1, "MERLAX Stabrix", "Undefined"}, // a sub-system listed under another system
            {8, 15, "MERLAX Stabrix", "-> 2-axis"},
            {16, 1, "MERLAX Cuedeck", ""},
            {16, 2, "MERLAX Cuedeck", "Undefined"},
            {17, 1, "MERLAX Brushless Driver", "(2-Axis)"},
            {17, 2, "MERLAX Brushless Driver", "(1-Axis)"}};
        for (const auto& [id, sub, system, subSystem] : cases) {
            QCOMPARE(SystemIDtoStr(qint16(id)), QString::fromLatin1(system));
            QCOMPARE(SubSystemIDtoStr(qint16(id), qint16(sub)), QString::fromLatin1(subSystem));
        }
    }

    void errorTexts() {
        const std::pair<int, const char*> cases[] = {
            {-1, "NoResp."},  {0, "OK"},          {5, "SerialNo mismatch"}, {10, "No Permission"},
            {11, "Code: 11"}, {255, "Code: 255"}, {-2, "Code: -2"}};
        for (const auto& [code, text] : cases)
            QCOMPARE(ErrorCodetoStr(qint16(code)), QString::fromLatin1(text));
    }

    void firmwareSystemNames() {
        const std::tuple<int, int, const char*> cases[] = {{1, 8, "Orbin Gimbal Stabiliser"},
                                                           {1, 16, "MERLAX Stabrix System"},
                                                           {1, 17, nullptr},
                                                           {1, 0, nullptr},
                                                           {3, 9, "MERLAX 3.3"},
                                                           {17, 2, "MERLAX 1-Axis BLD"},
                                                           {17, 3, "MERLAX BLD(xxxxxx)"},
                                                           {4, 1, "Undefined"}};
        for (const auto& [id, sub, text] : cases) {
            const auto result = FwSystemIDtoStr(qint16(id), qint16(sub));
            QCOMPARE(result.has_value(), text != nullptr); // no text: the label keeps what it showed
            if (text)
                QCOMPARE(*result, QString::fromLatin1(text));
        }
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

#include "IdentityTexts.h"
#include "TestKit.h"

namespace {
// The system and sub-system of a row named "<system>/<sub-system>".
std::pair<qint16, qint16> ids() {
    const QStringList ids = QString::fromLatin1(QTest::currentDataTag()).split('/');
    return {qint16(ids[0].toInt()), qint16(ids.value(1).toInt())};
}
} // namespace

class TestIdentityTexts : public QObject {
    Q_OBJECT
private slots:
    // Every row of the module tables, and the pairs next to them; 8/1 is a
    // sub-system listed under another system.
    void moduleNames_data() {
        // clang-format off
        addRows({"0/0 | Undefined | Undefined", "1/1 | Solvane | PWM", "1/8 | Solvane | RC/Analog",
                 "1/10 | Solvane | PWM (FF)", "1/11 | Solvane | PWM (Enh PID)",
                 "1/15 | Solvane | -> Stabrix (2-axis)", "1/16 | Solvane | -> Stabrix (3-axis)",
                 "1/17 | Solvane | -> Stabrix (3-axis Pro)", "1/2 | Solvane | Undefined",
                 "1/9 | Solvane | Undefined", "2/1 | MERLAX Linkbay | System 3.0",
                 "2/2 | MERLAX Linkbay | Undefined", "3/1 | MERLAX System Unit | SysCntrl 3.3",
                 "3/2 | MERLAX System Unit | FltCntrl 3.3", "3/3 | MERLAX System Unit | Undefined",
                 "4/1 | Undefined | Undefined", "7/15 | Undefined | Undefined",
                 "8/1 | MERLAX Stabrix | Undefined", "8/15 | MERLAX Stabrix | -> 2-axis",
                 "8/16 | MERLAX Stabrix | -> 3-axis", "8/17 | MERLAX Stabrix | -> 3-axis Pro",
                 "9/16 | Undefined | Undefined", "15/1 | Undefined | Undefined", "16/1 | MERLAX Cuedeck | ",
                 "16/2 | MERLAX Cuedeck | Undefined", "17/1 | MERLAX Brushless Driver | (2-Axis)",
                 "17/2 | MERLAX Brushless Driver | (1-Axis)", "17/3 | MERLAX Brushless Driver | Undefined",
                 "18/1 | Undefined | Undefined", "255/255 | Undefined | Undefined"});
        // clang-format on
    }
    void moduleNames() {
        const auto [id, sub] = ids();
        QCOMPARE(join(SystemIDtoStr(id), SubSystemIDtoStr(id, sub)), rowText());
    }

    void errorTexts_data() {
        addRows({"-2 | Code: -2", "-1 | NoResp.", "0 | OK", "1 | InvalidCommand", "2 | MsgChecksumFail",
                 "3 | SysIDmismatch", "4 | SubsysIDmismatch", "5 | SerialNo mismatch", "6 | EncDataChSumFail",
                 "7 | IDlocked", "8 | MemWriteFail", "9 | InvParam", "10 | No Permission", "11 | Code: 11",
                 "255 | Code: 255"});
    }
    void errorTexts() { QCOMPARE(ErrorCodetoStr(ids().first), rowText()); }

    // "-": no text, which leaves the caller's label as it was.
    void firmwareSystemNames_data() {
        // clang-format off
        addRows({"0/1 | Undefined", "1/0 | -", "1/1 | Orbin Gimbal Stabiliser", "1/2 | -",
                 "1/8 | Orbin Gimbal Stabiliser", "1/10 | Orbin Gimbal Stabiliser", "1/11 | -",
                 "1/15 | MERLAX Stabrix System", "1/16 | MERLAX Stabrix System", "1/17 | -",
                 "2/0 | MERLAX Linkbay", "2/200 | MERLAX Linkbay", "3/9 | MERLAX 3.3", "4/1 | Undefined",
                 "8/3 | MERLAX Stabrix", "16/7 | MERLAX Cuedeck", "17/0 | MERLAX BLD(xxxxxx)",
                 "17/1 | MERLAX 2-Axis BLD", "17/2 | MERLAX 1-Axis BLD", "17/3 | MERLAX BLD(xxxxxx)",
                 "18/1 | Undefined"});
        // clang-format on
    }
    void firmwareSystemNames() {
        const auto [id, sub] = ids();
        QCOMPARE(FwSystemIDtoStr(id, sub).value_or("-"), rowText());
    }
};

QTEST_GUILESS_MAIN(TestIdentityTexts)
#include "tst_IdentityTexts.moc"

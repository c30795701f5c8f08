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
    // The rules of the module tables: a known pair, a sub-system the table
    // does not know, a system it does not know, a sub-system listed under
    // another system (8/1), an empty text (16/1).
    void moduleNames_data() {
        addRows({"0/0 | Undefined | Undefined", "1/8 | Solvane | RC/Analog", "1/11 | Solvane | PWM (Enh PID)",
                 "1/17 | Solvane | -> Stabrix (3-axis Pro)", "1/9 | Solvane | Undefined",
                 "2/1 | MERLAX Linkbay | System 3.0", "3/2 | MERLAX System Unit | FltCntrl 3.3",
                 "7/15 | Undefined | Undefined", "8/1 | MERLAX Stabrix | Undefined",
                 "8/16 | MERLAX Stabrix | -> 3-axis", "16/1 | MERLAX Cuedeck | ",
                 "17/1 | MERLAX Brushless Driver | (2-Axis)", "17/3 | MERLAX Brushless Driver | Undefined",
                 "18/1 | Undefined | Undefined"});
    }
    void moduleNames() {
        const auto [id, sub] = ids();
        QCOMPARE(join(SystemIDtoStr(id), SubSystemIDtoStr(id, sub)), rowText());
    }

    void errorTexts_data() {
        addRows({"-2 | Code: -2", "-1 | NoResp.", "0 | OK", "1 | InvalidCommand", "2 | MsgChecksumFail",
                 "4 | SubsysIDmismatch", "5 | SerialNo mismatch", "7 | IDlocked", "8 | MemWriteFail",
                 "10 | No Permission", "11 | Code: 11"});
    }
    void errorTexts() { QCOMPARE(ErrorCodetoStr(ids().first), rowText()); }

    // "-": no text, which leaves the caller's label as it was.
    void firmwareSystemNames_data() {
        addRows({"0/1 | Undefined", "1/0 | -", "1/8 | Orbin Gimbal Stabiliser", "1/11 | -",
                 "1/16 | MERLAX Stabrix System", "2/200 | MERLAX Linkbay", "3/9 | MERLAX 3.3",
                 "8/3 | MERLAX Stabrix", "16/7 | MERLAX Cuedeck", "17/0 | MERLAX BLD(xxxxxx)",
                 "17/1 | MERLAX 2-Axis BLD", "18/1 | Undefined"});
    }
    void firmwareSystemNames() {
        const auto [id, sub] = ids();
        QCOMPARE(FwSystemIDtoStr(id, sub).value_or("-"), rowText());
    }
};

QTEST_GUILESS_MAIN(TestIdentityTexts)
#include "tst_IdentityTexts.moc"

// Every operation against every fault of the line and the module: the text the
// operator reads, the time it takes, the CPU it uses, the frames it sends, the
// files it leaves, and a link that works again afterwards. With
// MERLAX_FAULT_MATRIX set to a file name the results are written there as a
// Markdown table (scripts/fault-matrix.sh).

#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "ModuleRig.h"
#include "SerialAllocation.h"

#include <QFile>
#include <QTemporaryDir>

namespace {
enum Op { Identity, Erase, Wipe, Restore, Program, Capture, WriteSerial, ProgramAndLog };
// Harmless: the operation succeeds. Late: unanswered, but the module acted.
// HangUp: unanswered, and the port is gone.
enum Effect { Harmless, Refused, Checksum, Unanswered, Late, HangUp };

// The command each operation is hit on ("code:occurrence"), and its texts.
struct OpRow {
    const char* name;
    QString hit;
    // Runs the operation, with the capture's settings where it needs them.
    OperationResult (*run)(Operations&, const CaptureSettings&);
    QString ok, refused, unanswered;
};
using Ops = Operations;
using Settings = const CaptureSettings&;
const OpRow kOps[] = {
    {"identity", "16:2", [](Ops& o, Settings) { return o.RequestTargetID(); }, "ID Request OK.",
     "ID Request Failed.", "No response."},
    {"erase", "17:1", [](Ops& o, Settings) { return o.EraseTarget(); }, "OK", "Erase Failed.",
     "No response."},
    {"wipe", "26:1", [](Ops& o, Settings) { return o.WipeTarget(); }, "OK - Wiped", "Wipe Failed.",
     "No response."},
    {"restore", "23:1", [](Ops& o, Settings) { return o.RestoreSerialBackup(); }, "Restore OK.",
     "Restore Failed (Program Error).", "Restore Failed (No Response)."},
    {"program 256 pages", "18:101", [](Ops& o, Settings) { return o.programFirmware({}); },
     "Program complete.", "Program Failed (Program Error).", "Program Failed (No Response)."}, // page 100
    {"capture 120 pages", "20:61", [](Ops& o, Settings s) { return o.UploadEncryptedFirmware(s); }, // page 60
     "Firmware upload completed successfully.", "No response. {kept}", "No response. {kept}"},
    {"write serial", "19:1", [](Ops& o, Settings) { return o.WriteSerialNo(); }, "Write Serial OK.",
     "Write Serial Failed.", "No response."},
    {"program and log", "19:1", [](Ops& o, Settings) { return o.ProgramAndLogSerialNo(); }, "OK",
     "Write Serial Failed.", "No response."}};

// The fault as the virtual module takes it; none: stale bytes wait in the
// line while the port is closed.
const std::tuple<const char*, const char*, Effect> kFaults[] = {
    {"no reply", "no-reply", Unanswered},
    {"refusal", "refuse", Refused},
    {"wrong checksum", "bad-checksum", Checksum},
    {"garbage before", "garbage", Harmless},
    {"250 ms pause", "pause=250", Late},
    {"reply after time-out", "delay=400", Late}, // past the 250 and 300 ms time-outs
    {"reply twice", "double-ack", Harmless},
    {"hang-up", "hang-up", HangUp},
    {"stale input at open", nullptr, Harmless}};

// What the operator reads last. Faults of data replies leave acknowledgements
// alone; a module that acts but answers late has still written the serial;
// one lost with its line may hold it.
QString expectedStatus(Op op, Effect effect) {
    const OpRow& row = kOps[op];
    if (op == ProgramAndLog && effect == HangUp)
        return QStringLiteral(
            "Not logged: the module may hold serial number 1, which stays reserved and is not "
            "given again.");
    const bool dataReply = op == Identity || op == Capture;
    if (effect == Harmless || (effect == Checksum && !dataReply) || (effect == Late && op == ProgramAndLog))
        return row.ok;
    return effect == Refused || effect == Checksum ? row.refused : row.unanswered;
}

// How the operation ends, by the same rules.
Outcome expectedOutcome(Op op, Effect effect) {
    if (expectedStatus(op, effect) == kOps[op].ok)
        return Outcome::Succeeded;
    switch (effect) {
    case Refused:
    case Checksum: // a capture waits for pages only: a refused or damaged one is no page
        return op == Capture ? Outcome::NoResponse : Outcome::Refused;
    case HangUp:
        return Outcome::PortError;
    default:
        return Outcome::NoResponse;
    }
}

// Whole records only: each `size` bytes long, each ending ";" CR LF.
bool wholeRecords(const QByteArray& bytes, int offset, int size) {
    if (bytes.size() < offset || (bytes.size() - offset) % size != 0)
        return false;
    for (qsizetype end = offset + size; end <= bytes.size(); end += size)
        if (bytes.mid(end - 3, 3) != ";\r\n")
            return false;
    return true;
}
} // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT
    QStringList Results;

private slots:
    void cell_data() {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("fault");
        for (int o = 0; o < int(std::size(kOps)); ++o)
            for (int f = 0; f < int(std::size(kFaults)); ++f)
                QTest::addRow("%s / %s", kOps[o].name, std::get<0>(kFaults[f])) << o << f;
    }
    void cell() {
        QFETCH(int, op);
        QFETCH(int, fault);
        const OpRow& row = kOps[op];
        const auto [faultName, planned, effect] = kFaults[fault];
        if (planned == QStringLiteral("hang-up") && !canHangUpLines())
            QSKIP("hanging up a line needs CAP_SYS_ADMIN");
        QTemporaryDir folder;
        ModuleRig rig;
        rig.module.identity.init = 0xFF;
        rig.module.model().setMemory(randomMemory(11));
        const QString fw = folder.filePath("firmware.fw"), ser = folder.filePath("log.ser");
        CaptureSettings settings;
        settings.enterHeaderByte(4, 0x00);
        settings.chooseFile(fw);
        if (op == Program) { // a file of the module's own family, captured before the fault
            settings.enterPages(256);
            QCOMPARE(rig.core->capture().UploadEncryptedFirmware(settings), Outcome::Succeeded);
            rig.core->programmer().ReadFirmwareFile(fw);
            QVERIFY(rig.core->programmer().GetFWFileLoaded());
        }
        settings.enterPages(120);
        if (op == ProgramAndLog)
            rig.core->serials().ReadSerialDBFile({ser, {}});
        rig.target().RequestTargetID();
        const int serialBefore = rig.target().identity().SerialNo;
        if (op == Identity)
            rig.module.identity.serial = 1; // a request that fails keeps the record read before
        rig.module.clearHeardFrames();
        rig.reporter.statuses.clear();
        if (planned) {
            rig.module.faults.plan(*parseFaultPlan(row.hit + ":" + planned));
        } else {
            rig.link().SelectCommsPort(3); // the port is closed while the bytes come
            rig.module.sendRaw(QByteArray::fromHex("5a5b5aab5a20"));
            rig.link().SelectCommsPort(10);
        }
        rig.reporter.changes.clear();
        rig.reporter.progressEvents.clear();

        const double cpuBefore = cpuMilliseconds();
        OperationResult result;
        const qint64 elapsed = msToRun([&] { result = row.run(rig.operations(), settings); });
        const double cpu = cpuMilliseconds() - cpuBefore;
        const bool ok = expectedStatus(Op(op), effect) == row.ok;
        // A capture that stops keeps what arrived beside the file it was to replace.
        const QString captured = ok ? fw : fw + ".partial";
        const QString expected =
            QString(expectedStatus(Op(op), effect)).replace("{kept}", "60 of 120 pages kept in " + captured);
        const bool filesWhole = (op != Capture || wholeRecords(readFile(captured), 11, 268)) &&
                                (op != ProgramAndLog || wholeRecords(readFile(ser), 0, 100));
        Results << QStringLiteral("| %1 | %2 | %3 | %4 ms | %5 ms | %6 |")
                       .arg(QLatin1String(row.name), QLatin1String(faultName),
                            rig.reporter.statuses.value(rig.reporter.statuses.size() - 1))
                       .arg(elapsed)
                       .arg(qRound(cpu))
                       .arg(filesWhole ? "whole" : "BROKEN");
        QCOMPARE(rig.reporter.statuses.value(rig.reporter.statuses.size() - 1), expected);
        QCOMPARE(result.status, expected);
        QCOMPARE(outcomeName(result.outcome), outcomeName(expectedOutcome(Op(op), effect)));
        QVERIFY(!rig.exchange().operationActive());
        // Every wait ends by a reply or a time-out; none spins.
        QVERIFY_BETWEEN(elapsed, effect == Unanswered || effect == Late || effect == HangUp ? 230 : 0, 8000);
        QVERIFY2(cpu < 0.5 * static_cast<double>(elapsed) + 300.0, qPrintable(QString::number(cpu)));
        QCOMPARE(rig.reporter.changes.count(Change::FirmwareProgrammed), op == Program && ok ? 1 : 0);
        if (op == Identity)
            QCOMPARE(rig.target().identity().SerialNo, ok ? 1 : serialBefore);
        const int code = row.hit.section(':', 0, 0).toInt(), occurrence = row.hit.section(':', 1).toInt();
        if (!ok) { // nothing of the operation is sent after the frame that failed
            int sent = 0;
            for (const VirtualModule::HeardFrame& frame : rig.module.heardFrames())
                sent += quint8(frame.bytes.at(1)) == code;
            QCOMPARE(sent, occurrence - (op == Identity ? 1 : 0));
        }
        QVERIFY(filesWhole);
        if (op == Capture) { // as many records as were received, and only one file
            QCOMPARE(rig.reporter.progressEvents.last(),
                     QStringLiteral("capture %1/120").arg(ok ? 120 : occurrence - 1));
            QCOMPARE(readFile(captured).size(), 11 + result.pages * 268);
            QCOMPARE(QFile::exists(fw) + QFile::exists(fw + ".partial"), 1);
        }
        if (op == ProgramAndLog)
            QCOMPARE(readFile(ser).size(), ok ? 100 : 0);

        // The next command is answered as usual.
        rig.module.faults = {};
        if (!rig.link().portOK())
            rig.link().SelectCommsPort(10);
        rig.operations().RequestTargetID();
        QCOMPARE(rig.reporter.statuses.last(), "ID Request OK.");
    }

    void cleanupTestCase() {
        const QString out = qEnvironmentVariable("MERLAX_FAULT_MATRIX");
        if (out.isEmpty())
            return;
        QFile file(out);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("| operation | fault | status shown | time | CPU | files |\n|---|---|---|---|---|---|\n");
        file.write(Results.join('\n').toUtf8() + '\n');
    }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_FaultMatrix.moc"

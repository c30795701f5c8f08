// Every operation against every fault of the line and the module: the text the
// operator reads, the time it takes, the CPU it uses, and the files it leaves.
// Set MERLAX_FAULT_MATRIX to a file name to have the results written there as
// a Markdown table.

#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "ModuleRig.h"
#include "SerialAllocation.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {
using Kind = PlannedFault::Kind;

enum class Op { Identity, Erase, Program, Capture, WriteSerial, ProgramAndLog };
enum class Fault {
    NoReply,
    Refusal,
    BadChecksum,
    Garbage,
    Pause,
    LateReply,
    DoubleReply,
    HangUp,
    StaleInput
};

const QStringList kOpNames{"identity",          "erase",        "program 256 pages",
                           "capture 120 pages", "write serial", "program and log"};
const QStringList kFaultNames{"no reply",       "refusal",      "wrong checksum",
                              "garbage before", "250 ms pause", "reply after time-out",
                              "reply twice",    "hang-up",      "stale input at open"};

// The command each operation is hit on, and which of its frames.
std::pair<int, int> Target(Op op) {
    switch (op) {
    case Op::Identity:
        return {16, 2}; // the first is the read before the operation
    case Op::Erase:
        return {17, 1};
    case Op::Program:
        return {18, 101}; // page 100
    case Op::Capture:
        return {20, 61}; // page 60
    case Op::WriteSerial:
    case Op::ProgramAndLog:
        return {19, 1};
    }
    return {};
}

// What the operator reads last. Faults of data replies leave acknowledgements
// alone; a module that acts but answers late has still written the serial.
QString ExpectedStatus(Op op, Fault fault) {
    const bool harmless =
        fault == Fault::Garbage || fault == Fault::DoubleReply || fault == Fault::StaleInput;
    const bool unanswered = fault == Fault::NoReply || fault == Fault::Pause || fault == Fault::LateReply ||
                            fault == Fault::HangUp;
    switch (op) {
    case Op::Identity:
        if (harmless)
            return "ID Request OK.";
        return unanswered ? "No response." : "ID Request Failed.";
    case Op::Erase:
        if (harmless || fault == Fault::BadChecksum)
            return "OK";
        return unanswered ? "No response." : "Erase Failed.";
    case Op::Program:
        if (harmless || fault == Fault::BadChecksum)
            return "Program complete.";
        return unanswered ? "Program Failed (No Response)." : "Program Failed (Program Error).";
    case Op::Capture:
        return harmless ? "Firmware upload completed successfully." : "No response.";
    case Op::WriteSerial:
        if (harmless || fault == Fault::BadChecksum)
            return "Write Serial OK.";
        return unanswered ? "No response." : "Write Serial Failed.";
    case Op::ProgramAndLog:
        if (fault == Fault::Refusal)
            return "Write Serial Failed.";
        if (fault == Fault::NoReply || fault == Fault::HangUp)
            return "No response.";
        return "OK"; // the block is in the module: logged
    }
    return {};
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whole records only: each `size` bytes long, each ending ";" CR LF.
bool WholeRecords(const QByteArray& bytes, int offset, int size) {
    if (bytes.size() < offset || (bytes.size() - offset) % size != 0)
        return false;
    for (qsizetype end = offset + size; end <= bytes.size(); end += size)
        if (bytes.mid(end - 3, 3) != ";\r\n")
            return false;
    return true;
}
} // namespace
Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(Fault)

class TestFaultMatrix : public QObject {
    Q_OBJECT
    QStringList Results;

private slots:
    void cell_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<Fault>("fault");
        for (int o = 0; o < kOpNames.size(); ++o)
            for (int f = 0; f < kFaultNames.size(); ++f)
                QTest::addRow("%s / %s", qPrintable(kOpNames[o]), qPrintable(kFaultNames[f]))
                    << static_cast<Op>(o) << static_cast<Fault>(f);
    }
    void cell() {
        QFETCH(Op, op);
        QFETCH(Fault, fault);
        if (fault == Fault::HangUp && !CanHangUpLines())
            QSKIP("hanging up a line needs CAP_SYS_ADMIN");
        QTemporaryDir folder;
        ModuleRig rig;
        rig.module.identity.init = 0xFF;
        QRandomGenerator random(11);
        QByteArray memory(65536, '\0');
        for (char& c : memory)
            c = static_cast<char>(random.bounded(256));
        rig.module.model().setMemory(memory);
        const QString fw = folder.filePath("firmware.fw");
        const QString ser = folder.filePath("log.ser");
        rig.core->capture().EnterHeaderByte(4, 0x00);

        if (op == Op::Program) { // a file of the module's own family, captured before the fault
            rig.core->capture().ChooseFile(fw);
            rig.core->capture().EnterUploadPages(256);
            QVERIFY(rig.core->capture().UploadEncryptedFirmware());
            rig.core->programmer().ReadFirmwareFile(fw);
            QVERIFY(rig.core->programmer().GetFWFileLoaded());
        }
        if (op == Op::Capture) {
            rig.core->capture().ChooseFile(fw);
            rig.core->capture().EnterUploadPages(120);
        }
        if (op == Op::ProgramAndLog)
            rig.core->serials().ReadSerialDBFile(ser);
        rig.target().RequestTargetID();
        rig.module.clearHeardFrames();
        rig.reporter.statuses.clear();

        const auto [code, occurrence] = Target(op);
        switch (fault) {
        case Fault::NoReply:
            rig.module.faults.plan(code, occurrence, {Kind::NoReply, 0});
            break;
        case Fault::Refusal:
            rig.module.faults.plan(code, occurrence, {Kind::Refuse, 0});
            break;
        case Fault::BadChecksum:
            rig.module.faults.plan(code, occurrence, {Kind::BadChecksum, 0});
            break;
        case Fault::Garbage:
            rig.module.faults.plan(code, occurrence, {Kind::Garbage, 0});
            break;
        case Fault::Pause:
            rig.module.faults.plan(code, occurrence, {Kind::Pause, 250});
            break;
        case Fault::LateReply:
            rig.module.faults.plan(code, occurrence, {Kind::Delay, 400}); // past the 250 and 300 ms time-outs
            break;
        case Fault::DoubleReply:
            rig.module.faults.plan(code, occurrence, {Kind::DoubleAck, 0});
            break;
        case Fault::HangUp:
            rig.module.faults.plan(code, occurrence, {Kind::HangUp, 0});
            break;
        case Fault::StaleInput:
            rig.link().SelectCommsPort(3); // the port is closed while the bytes come
            rig.module.sendRaw(QByteArray::fromHex("5a5b5aab5a20"));
            rig.link().SelectCommsPort(10);
            break;
        }

        const double cpuBefore = CpuMilliseconds();
        QElapsedTimer clock;
        clock.start();
        Operations& ops = rig.operations();
        switch (op) {
        case Op::Identity:
            ops.RequestTargetID();
            break;
        case Op::Erase:
            ops.EraseTarget();
            break;
        case Op::Program:
            ops.ProgramFirmware(false);
            break;
        case Op::Capture:
            ops.UploadEncryptedFirmware();
            break;
        case Op::WriteSerial:
            ops.WriteSerialNo();
            break;
        case Op::ProgramAndLog:
            ops.ProgramAndLogSerialNo();
            break;
        }
        const qint64 elapsed = clock.elapsed();
        const double cpu = CpuMilliseconds() - cpuBefore;
        const QString status = rig.reporter.statuses.value(rig.reporter.statuses.size() - 1);
        const QString expected = ExpectedStatus(op, fault);

        bool filesWhole = true;
        if (op == Op::Capture)
            filesWhole = WholeRecords(ReadFile(fw), 11, 268);
        if (op == Op::ProgramAndLog)
            filesWhole =
                WholeRecords(ReadFile(ser), 0, 100) && ReadFile(ser).size() == (expected == "OK" ? 100 : 0);
        // Every wait ends by a reply or a time-out; none spins.
        const bool inTime = elapsed < 8000;
        const bool idle = cpu < 0.5 * static_cast<double>(elapsed) + 300.0;
        Results << QStringLiteral("| %1 | %2 | %3 | %4 ms | %5 ms | %6 |")
                       .arg(kOpNames[static_cast<int>(op)], kFaultNames[static_cast<int>(fault)], status)
                       .arg(elapsed)
                       .arg(qRound(cpu))
                       .arg(filesWhole ? "whole" : "BROKEN");
        QCOMPARE(status, expected);
        QVERIFY2(inTime, qPrintable(QString::number(elapsed)));
        QVERIFY2(idle, qPrintable(QString::number(cpu)));
        QVERIFY(filesWhole);
        QVERIFY(!rig.exchange().operationActive());
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

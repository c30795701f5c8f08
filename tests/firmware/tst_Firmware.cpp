#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "IdentityTexts.h"
#include "ModuleRig.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {
using Kind = PlannedFault::Kind;

QByteArray randomMemory(quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray memory(65536, '\0');
    for (char& c : memory)
        c = static_cast<char>(random.bounded(256));
    return memory;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A header line: system, sub-system, serial 0, version 2.05, mask, #1 0.
QByteArray header(int system, int subSystem, int mask) {
    QByteArray h;
    for (int b : {system, subSystem, 0, 0, 5, 2, mask, 0})
        h.append(static_cast<char>(b));
    return h + ";\r\n";
}

// A page line of 264 bytes of `fill`, with its sum and terminator.
QByteArray pageLine(int fill) {
    QByteArray line(264, static_cast<char>(fill));
    line.append(static_cast<char>((fill * 264) & 0xFF));
    return line + ";\r\n";
}

// The core on COM10 with a virtual module, a master module on COM11 and a
// folder for files.
struct FirmwareRig : ModuleRig {
    explicit FirmwareRig(LinkTimings timings = FastTimings()) : ModuleRig(timings) {
        module.model().setMemory({});
        if (!master.start())
            qFatal("no master module");
        MapPort(11, master.devicePath());
        master.model().setMemory(randomMemory(7));
        // Any serial number: the modules here carry serial 4660.
        core->capture().EnterHeaderByte(4, 0x20);
    }
    FirmwareProgrammer& programmer() { return core->programmer(); }
    FirmwareCapture& capture() { return core->capture(); }
    QString path(const QString& name) const { return folder.filePath(name); }

    // Captures `pages` pages of the master into `name`, on COM11.
    bool captureMaster(const QString& name, int pages) {
        link().SelectCommsPort(11);
        capture().ChooseFile(path(name));
        capture().EnterUploadPages(pages);
        const bool done = capture().UploadEncryptedFirmware();
        link().SelectCommsPort(10);
        reporter.statuses.clear();
        return done;
    }

    VirtualModule master;
    QTemporaryDir folder;
};
} // namespace

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    // The master's firmware, captured into a file and programmed into a blank
    // module of the same family, leaves the two memories identical.
    void captureThenProgramCopiesTheMemory() {
        FirmwareRig rig;
        QSignalSpy captureProgress(&rig.capture(), &FirmwareCapture::progress);
        QVERIFY(rig.captureMaster("master", 256));
        QCOMPARE(captureProgress.last(), (QVariantList{256, 256}));
        const QByteArray file = readAll(rig.path("master.fw"));
        QCOMPARE(file.size(), 11 + 256 * 268);
        QCOMPARE(file.left(11).toHex(' '), QByteArray("01 0b 00 00 07 02 20 00 3b 0d 0a"));

        rig.programmer().ReadFirmwareFile(rig.path("master.fw"));
        QCOMPARE(rig.reporter.statuses, QStringList{"256 pages loaded OK."});
        QCOMPARE(rig.reporter.mainStatuses, QStringList{"Firmware file loaded successfully."});
        rig.target().RequestTargetID();
        QSignalSpy progress(&rig.programmer(), &FirmwareProgrammer::progress);
        QSignalSpy complete(&rig.programmer(), &FirmwareProgrammer::programComplete);
        const bool programmed = rig.programmer().ProgramFW(false);
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("Program complete."));
        QVERIFY(programmed);
        QCOMPARE(complete.size(), 1);
        QCOMPARE(progress.size(), 257);
        QCOMPARE(progress.first(), (QVariantList{0, 256}));
        QCOMPARE(progress.last(), (QVariantList{256, 256}));
        QVERIFY(rig.module.model().memory() == rig.master.model().memory());
    }

    // What goes on the line and what the operator reads, page by page.
    void statusAndFramesOfAThreePageRun() {
        FirmwareRig rig;
        QVERIFY(rig.captureMaster("three.fw", 3));
        rig.programmer().ReadFirmwareFile(rig.path("three.fw"));
        rig.target().RequestTargetID();
        rig.module.clearHeardFrames();
        rig.reporter.statuses.clear();
        QVERIFY(rig.programmer().ProgramFW(false));
        QCOMPARE(rig.reporter.statuses,
                 (QStringList{"Erasing ....", "Writing page 0 of 3", "Writing page 1 of 3",
                              "Writing page 2 of 3", "Program complete."}));
        const QByteArray file = readAll(rig.path("three.fw"));
        QCOMPARE(rig.module.heardFrames().size(), 4);
        QCOMPARE(rig.module.heardFrames()[0].bytes.toHex(' '), QByteArray("5a 11 11"));
        for (int page = 0; page < 3; ++page) {
            const QByteArray frame = rig.module.heardFrames()[page + 1].bytes;
            QCOMPARE(frame.size(), 267);
            QCOMPARE(frame.left(2).toHex(), QByteArray("5a12"));
            QCOMPARE(frame.mid(2, 264), file.mid(11 + page * 268, 264)); // the record, unchanged
        }
    }

    // A fault during a run stops it where it happened, with the texts of the step.
    void faultsStopTheRun_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("frames");
        QTest::newRow("erase refused") << 17 << 1 << int(Kind::Refuse) << "Erase Failed." << 1;
        QTest::newRow("erase unanswered") << 17 << 1 << int(Kind::NoReply) << "No response." << 1;
        QTest::newRow("page 4 refused")
            << 18 << 5 << int(Kind::Refuse) << "Program Failed (Program Error)." << 6;
        QTest::newRow("page 4 unanswered")
            << 18 << 5 << int(Kind::NoReply) << "Program Failed (No Response)." << 6;
    }
    void faultsStopTheRun() {
        QFETCH(int, code);
        QFETCH(int, occurrence);
        QFETCH(int, fault);
        QFETCH(QString, status);
        QFETCH(int, frames);
        FirmwareRig rig;
        QVERIFY(rig.captureMaster("eight.fw", 8));
        rig.programmer().ReadFirmwareFile(rig.path("eight.fw"));
        rig.target().RequestTargetID();
        rig.module.clearHeardFrames();
        rig.module.faults.plan(code, occurrence, {static_cast<Kind>(fault), 0});
        QSignalSpy complete(&rig.programmer(), &FirmwareProgrammer::programComplete);
        QVERIFY(!rig.programmer().ProgramFW(false));
        QCOMPARE(rig.reporter.statuses.last(), status);
        QCOMPARE(rig.module.heardFrames().size(), frames); // no page after the failed one
        QCOMPARE(complete.size(), 0);
    }

    // The target check: system equal, sub-system by the high nibble of the mask.
    void firmwareMatchesTarget_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("fileSystem");
        QTest::addColumn<QString>("matchingSubSystems"); // of 4, 5, 6 for a file of sub-system 5
        QTest::newRow("0x00 any") << 0x00 << 1 << "4 5 6";
        QTest::newRow("0x10 at least") << 0x10 << 1 << "5 6";
        QTest::newRow("0x20 at most") << 0x20 << 1 << "4 5";
        QTest::newRow("0xF0 equal") << 0xF0 << 1 << "5";
        QTest::newRow("0x30 none") << 0x30 << 1 << "";
        QTest::newRow("0xE0 none") << 0xE0 << 1 << "";
        QTest::newRow("low nibble ignored") << 0x1F << 1 << "5 6";
        QTest::newRow("low nibble 3 ignored") << 0x03 << 1 << "4 5 6";
        QTest::newRow("another system") << 0x00 << 2 << "";
    }
    void firmwareMatchesTarget() {
        QFETCH(int, mask);
        QFETCH(int, fileSystem);
        QFETCH(QString, matchingSubSystems);
        FirmwareRig rig;
        writeFile(rig.path("mask.fw"), header(fileSystem, 5, mask) + pageLine(1));
        rig.programmer().ReadFirmwareFile(rig.path("mask.fw"));
        QStringList matching;
        for (int sub : {4, 5, 6}) {
            rig.module.identity.subsystem = static_cast<quint8>(sub);
            rig.target().RequestIDFromTarget();
            if (rig.programmer().FirmwareMatchesTarget())
                matching << QString::number(sub);
        }
        QCOMPARE(matching.join(' '), matchingSubSystems);
    }

    // Refusals before anything is sent; Ctrl programs a file for another module.
    void refusedRuns() {
        FirmwareRig rig;
        QVERIFY(!rig.programmer().ProgramFW(true));
        QCOMPARE(rig.reporter.mainStatuses, QStringList{"No firmware file has been loaded."});

        writeFile(rig.path("other.fw"), header(2, 10, 0x00) + pageLine(3));
        rig.programmer().ReadFirmwareFile(rig.path("other.fw"));
        rig.target().RequestTargetID();
        rig.module.clearHeardFrames();
        rig.reporter.mainStatuses.clear();
        QVERIFY(!rig.programmer().ProgramFW(false));
        QCOMPARE(rig.reporter.mainStatuses, QStringList{"Firmware is not for this module"});
        QVERIFY(rig.module.heardFrames().isEmpty());

        // With Ctrl the file goes out; the module itself refuses a record it cannot read.
        rig.programmer().ProgramFW(true);
        QCOMPARE(rig.heard().first(), QStringLiteral("5a 11 11"));
        QCOMPARE(rig.module.heardFrames().size(), 2);
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("Program Failed (Program Error)."));
    }

    // A module of another sub-system refuses the master's first page; its
    // reason shows after the next identity read.
    void anotherSubSystemRefusesTheFirstPage() {
        FirmwareRig rig;
        rig.capture().QuickSet(5); // FltC: system 3, sub-system 2, mask 0xF0
        rig.master.identity.system = 3;
        rig.master.identity.subsystem = 2;
        rig.module.identity.system = 3;
        rig.module.identity.subsystem = 1;
        rig.master.model().setMemory(randomMemory(9));
        QVERIFY(rig.captureMaster("fltc.fw", 4));
        rig.programmer().ReadFirmwareFile(rig.path("fltc.fw"));
        rig.target().RequestTargetID();
        QVERIFY(!rig.programmer().ProgramFW(true));
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("Program Failed (Program Error)."));
        rig.target().RequestTargetID();
        QCOMPARE(ErrorCodetoStr(rig.target().identity().LastErrorCode), QStringLiteral("SubsysIDmismatch"));
    }

    // A load that breaks off leaves the previous image whole and current; a
    // bad record makes the new file current but not programmable.
    void loads() {
        FirmwareRig rig;
        QVERIFY(rig.captureMaster("good.fw", 2));
        rig.programmer().ReadFirmwareFile(rig.path("good.fw"));
        const FirmwareImage good = rig.programmer().image();
        QSignalSpy changed(&rig.programmer(), &FirmwareProgrammer::imageChanged);

        QByteArray tooMany = header(1, 10, 0);
        for (int page = 0; page < 258; ++page)
            tooMany += pageLine(page);
        writeFile(rig.path("too-many.fw"), tooMany);
        rig.programmer().ReadFirmwareFile(rig.path("too-many.fw"));
        QCOMPARE(rig.reporter.criticals.size(), 1);
        QCOMPARE(rig.reporter.criticals[0].title, QStringLiteral("File Read"));
        QVERIFY(
            rig.reporter.criticals[0].text.startsWith(QStringLiteral("Error reading from firmware file: ")));
        QCOMPARE(changed.size(), 0);
        QVERIFY(rig.programmer().GetFWFileLoaded());
        QCOMPARE(rig.programmer().image().pages, good.pages);
        QCOMPARE(rig.programmer().FirmwareFilename(), rig.path("good.fw"));
        rig.target().RequestTargetID();
        QVERIFY(rig.programmer().ProgramFW(false)); // the good file, whole
        QVERIFY(rig.module.model().memory().left(512) == rig.master.model().memory().left(512));

        rig.programmer().ReadFirmwareFile(rig.path("missing.fw"));
        QCOMPARE(rig.reporter.criticals.size(), 2);
        QVERIFY(rig.reporter.criticals[1].text.startsWith(QStringLiteral("Error opening config file: ")));
        QVERIFY(rig.programmer().GetFWFileLoaded());

        QByteArray bad = header(2, 1, 0) + pageLine(1);
        bad[11 + 264] = 0; // checksum off
        writeFile(rig.path("bad.fw"), bad);
        rig.reporter.statuses.clear();
        rig.programmer().ReadFirmwareFile(rig.path("bad.fw"));
        QCOMPARE(rig.reporter.statuses,
                 (QStringList{"1 pages loaded OK.", "Checksum error on input line 1"}));
        QCOMPARE(changed.size(), 1);
        QVERIFY(!rig.programmer().GetFWFileLoaded());
        QCOMPARE(rig.programmer().image().FWSystemID, qint16(2));
    }

    // The capture's file and what it asks the module for.
    void captureFile() {
        FirmwareRig rig;
        rig.link().SelectCommsPort(11);
        rig.capture().EnterHeaderByte(4, 0x22);
        rig.master.identity.appMajor = 2;
        rig.master.identity.appMinor = 5;
        rig.capture().ChooseFile(rig.path("cap"));
        QCOMPARE(rig.capture().FileName(), rig.path("cap.fw"));
        QVERIFY(rig.capture().UploadEncryptedFirmware());
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("Firmware upload completed successfully."));
        const QByteArray file = readAll(rig.path("cap.fw"));
        QCOMPARE(file.size(), 32171);
        QCOMPARE(file.left(11).toHex(' '), QByteArray("01 0b 00 00 05 02 22 00 3b 0d 0a"));
        const auto& heard = rig.master.heardFrames();
        QCOMPARE(heard.size(), 121); // the identity read, then 120 pages
        QCOMPARE(heard[1].bytes.toHex(' '), QByteArray("5a 14 01 0b 00 00 22 00 00 00 42"));
        QCOMPARE(heard[120].bytes.mid(8, 2).toHex(' '), QByteArray("77 00")); // page 119
        for (int page = 0; page < 120; ++page) {
            const QByteArray line = file.mid(11 + page * 268, 268);
            QCOMPARE(line.right(3), QByteArray(";\r\n"));
        }
    }

    // A module that stops answering after page 9 leaves ten whole records.
    void captureStopsAtTheFirstMissingPage() {
        FirmwareRig rig;
        rig.link().SelectCommsPort(11);
        rig.master.faults.plan(20, 11, {Kind::NoReply, 0});
        rig.capture().ChooseFile(rig.path("stop.fw"));
        QSignalSpy progress(&rig.capture(), &FirmwareCapture::progress);
        QVERIFY(!rig.capture().UploadEncryptedFirmware());
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("No response."));
        QCOMPARE(progress.last(), (QVariantList{10, 120}));
        QCOMPARE(readAll(rig.path("stop.fw")).size(), 11 + 10 * 268);
        QCOMPARE(rig.master.heardFrames().size(), 12);
    }

    // The page time-out is 2000 ms: a page just inside it counts, none at all
    // ends the capture then, not at the link's 1500 ms.
    void pageTimeout_data() {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("page at 1850 ms") << 1850 << true << 1800 << 3000;
        QTest::newRow("no page") << -1 << false << 1980 << 3000;
    }
    void pageTimeout() {
        QFETCH(int, delayMs);
        QFETCH(bool, stored);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        FirmwareRig rig{LinkTimings{}};
        rig.link().SelectCommsPort(11);
        rig.capture().ChooseFile(rig.path("slow.fw"));
        rig.capture().EnterUploadPages(1);
        rig.master.faults.plan(
            20, 1, delayMs < 0 ? PlannedFault{Kind::NoReply, 0} : PlannedFault{Kind::Delay, delayMs});
        rig.target().RequestTargetID();
        rig.reporter.statuses.clear();
        QElapsedTimer clock;
        clock.start();
        rig.capture().UploadEncryptedFirmware();
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= minMs && elapsed < maxMs, qPrintable(QString::number(elapsed)));
        QCOMPARE(rig.reporter.statuses.last(), stored
                                                   ? QStringLiteral("Firmware upload completed successfully.")
                                                   : QStringLiteral("No response."));
    }

    void captureRefusals() {
        FirmwareRig rig;
        rig.module.faults.unanswered.insert(16); // never read, and not answering
        writeFile(rig.path("old.fw"), "old");
        rig.capture().ChooseFile(rig.path("old.fw"));
        QVERIFY(!rig.capture().UploadEncryptedFirmware());
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("Read Target ID for version number first."));
        QCOMPARE(readAll(rig.path("old.fw")), QByteArray("old"));

        rig.module.faults = {};
        rig.capture().ChooseFile(rig.path("no-such-folder/x.fw"));
        QVERIFY(!rig.capture().UploadEncryptedFirmware());
        QCOMPARE(rig.reporter.criticals.size(), 1);
        QCOMPARE(rig.reporter.criticals[0].title, QStringLiteral("File Open"));
        QVERIFY(rig.reporter.criticals[0].text.startsWith(QStringLiteral("Error opening firmware file: ")));
    }

    // The operator's entries and the presets.
    void captureSettings() {
        FirmwareRig rig;
        FirmwareCapture& c = rig.capture();
        const auto header = [&c] {
            QStringList h;
            for (int i = 0; i < 6; ++i)
                h << QString::number(c.EncHeaderData()[static_cast<size_t>(i)], 16);
            return h.join(' ') + " / " + QString::number(c.UploadPages());
        };
        c.EnterHeaderByte(4, 0x22);
        QCOMPARE(header(), QStringLiteral("1 b 0 0 22 0 / 120"));
        const std::pair<double, int> pages[] = {{0, 120}, {257, 120}, {256, 256}, {1, 1}, {0.5, 1}, {1.5, 2}};
        for (const auto& [entered, result] : pages) {
            c.EnterUploadPages(entered);
            QCOMPARE(c.UploadPages(), result);
        }
        const std::pair<double, int> bytes[] = {{256, 0x22}, {-1, 0x22}, {255, 255}, {0, 0}, {12.5, 12}};
        for (const auto& [entered, result] : bytes) {
            c.EnterHeaderByte(4, entered);
            QCOMPARE(c.EncHeaderData()[4], qint16(result));
        }
        c.EnterHeaderByte(5, 0x77);
        const std::pair<int, const char*> presets[] = {
            {0, "1 a 2c 1 22 77 / 120"}, {1, "1 f 0 0 10 77 / 120"}, {2, "10 1 0 0 f0 77 / 120"},
            {3, "8 0 0 0 0 77 / 120"},   {4, "3 1 0 0 f0 77 / 256"}, {5, "3 2 0 0 f0 77 / 256"},
            {6, "3 2 0 0 f0 77 / 256"},  {7, "11 1 0 0 f0 77 / 120"}};
        for (const auto& [index, result] : presets) {
            c.QuickSet(index, 300);
            QCOMPARE(header(), QString::fromLatin1(result));
        }
        const std::pair<const char*, const char*> names[] = {
            {"/fw/master", "/fw/master.fw"}, {"/fw.old/master", "/fw.old/master"}, {"", "/fw.old/master"}};
        for (const auto& [chosen, result] : names) {
            c.ChooseFile(QString::fromLatin1(chosen));
            QCOMPARE(c.FileName(), QString::fromLatin1(result));
        }
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_Firmware.moc"

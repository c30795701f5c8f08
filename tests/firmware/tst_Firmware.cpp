// Firmware files, and capturing and programming them on virtual modules.

#include "FirmwareCapture.h"
#include "FirmwareFile.h"
#include "FirmwareProgrammer.h"
#include "IdentityTexts.h"
#include "ModuleRig.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {
using Kind = PlannedFault::Kind;
using enum FirmwareReadOutcome;

// System 7, sub-system 3, serial bytes 3B 0D (";" CR), version bytes 07 02, mask 0A (LF), #1 99.
const QByteArray kHeader = QByteArray::fromHex("07033B0D07020A993B0D0A");

// A header line: system, sub-system, serial 0, version 2.05, mask, #1 0.
QByteArray header(int system, int subSystem, int mask) {
    return QByteArray::fromHex(
               QString::asprintf("%02x%02x00000502%02x00", system, subSystem, mask).toLatin1()) +
           ";\r\n";
}

// A page line with payload fill, fill+1, ...; its checksum off by checksumError.
QByteArray pageLine(int fill, int checksumError = 0, char terminator = ';') {
    QByteArray line;
    int sum = checksumError;
    for (int i = 0; i < 264; ++i)
        sum += static_cast<quint8>(line.append(static_cast<char>(fill + i)).back());
    return line + char(sum) + terminator + "\r\n";
}

QByteArray pages(int count) {
    QByteArray lines;
    for (int p = 0; p < count; ++p)
        lines += pageLine(p);
    return lines;
}

// The capture file's system calls, with call number `at` of `name` failing as
// a disk does: a write fills the disk halfway through its line (the writes
// after it find the disk full), a sync meets an I/O error, a rename is not
// permitted. A sync after a failed one succeeds, as it may on Linux.
int failWith(int error) {
    errno = error;
    return -1;
}
FirmwareFileWriter::SystemCalls failingCall(const QString& name, int at) {
    FirmwareFileWriter::SystemCalls calls = FirmwareFileWriter::systemCalls();
    auto count = std::make_shared<int>(0);
    if (name == "write")
        calls.write = [count, at](int fd, const void* data, size_t size) -> ssize_t {
            return ++*count <= at ? ::write(fd, data, *count < at ? size : size / 2) : failWith(ENOSPC);
        };
    else if (name == "fsync")
        calls.fsync = [count, at](int fd) { return ++*count != at ? ::fsync(fd) : failWith(EIO); };
    else if (name == "rename")
        calls.rename = [count, at](const char* from, const char* to) {
            return ++*count != at ? std::rename(from, to) : failWith(EACCES);
        };
    return calls;
}

// The core on COM10 with a blank virtual module, a master module on COM11
// and a folder for files.
struct FirmwareRig : ModuleRig {
    explicit FirmwareRig(LinkTimings timings = fastTimings()) : ModuleRig(timings) {
        module.model().setMemory({});
        if (!master.start())
            qFatal("no master module");
        link().ports().assign(11, master.devicePath());
        master.model().setMemory(randomMemory(7));
        settings.enterHeaderByte(4, 0x20); // any serial number: the modules here carry 4660
    }
    FirmwareProgrammer& programmer() { return core->programmer(); }
    FirmwareCapture& capture() { return core->capture(); }
    QString path(const QString& name) const { return folder.filePath(name); }
    // The capture settings as the window would hand them over.
    CaptureSettings settings;
    CaptureSettings into(const QString& name, int pages) const {
        CaptureSettings s = settings;
        s.chooseFile(path(name));
        s.enterPages(pages);
        return s;
    }

    // Captures `pages` pages of the master into `name`, on COM11.
    bool captureMaster(const QString& name, int pages) {
        link().SelectCommsPort(11);
        const bool done = capture().UploadEncryptedFirmware(into(name, pages)) == Outcome::Succeeded;
        link().SelectCommsPort(10);
        reporter.statuses.clear();
        return done;
    }
    // Loads a file and reads the module, so that a run can start.
    void load(const QString& name) {
        programmer().ReadFirmwareFile(path(name));
        target().RequestTargetID();
        module.clearHeardFrames();
        reporter.statuses.clear();
    }

    VirtualModule master;
    QTemporaryDir folder;
};

struct ReadRow {
    const char* name;
    QByteArray file;
    FirmwareReadOutcome outcome;
    QString message;
    int pageCount;
    int ignoredBytes;
};
} // namespace
Q_DECLARE_METATYPE(ReadRow)

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    // Lines are counted from the first page record as 1. Whatever the records
    // hold, the header is taken over unless the read breaks off.
    void read_data() {
        QByteArray badHeader = kHeader;
        badHeader[8] = ',';
        const QString invalid = "Invalid data format on input line ";
        addRows<ReadRow>(
            {{"header only", kHeader, Loaded, "", 0, 0},
             {"256 pages", kHeader + pages(256), Loaded, "", 256, 0},
             {"257 pages", kHeader + pages(257), Loaded, "", 257, 0},
             {"partial record ignored, counted", kHeader + pages(2) + pageLine(2).left(267), Loaded, "", 2,
              267},
             {"header without ;", badHeader + pages(1), BadRecord, invalid + "1", 0, 0},
             {"header too short", kHeader.left(8), BadRecord, invalid + "1", 0, 0},
             {"third record without ;, not counted", kHeader + pages(2) + pageLine(2, 0, ':'), BadRecord,
              invalid + "3", 2, 0},
             {"fourth checksum off by one, counted", kHeader + pages(3) + pageLine(3, 1) + pages(1),
              BadRecord, "Checksum error on input line 4", 4, 0},
             {"258th record without ;", kHeader + pages(257) + pageLine(0, 0, 'x'), BadRecord,
              invalid + "258", 257, 0},
             {"258th record", kHeader + pages(258), ReadFailure,
              "Error reading from firmware file: the file holds more than 257 pages", 0, 0}});
    }
    void read() {
        QFETCH(ReadRow, row);
        QBuffer buffer(&row.file);
        buffer.open(QIODevice::ReadOnly);
        const FirmwareReadResult result = readFirmwareImage(buffer);
        QCOMPARE(result.outcome, row.outcome);
        QCOMPARE(row.outcome == BadRecord ? result.statusText : result.messageBoxText(), row.message);
        QCOMPARE(result.image.FWFileLoaded, row.outcome == Loaded);
        QCOMPARE(result.replacesCurrentImage(), row.outcome != ReadFailure);
        const FirmwareImage& i = result.image;
        if (result.replacesCurrentImage())
            QCOMPARE(join(i.FWPageCount(), i.ignoredBytes, i.FWSystemID, i.FWSubSystemID, i.FWVersionMajor,
                          i.FWVersionMinor, i.FWTargetMask, i.FWSerialNo),
                     join(row.pageCount, row.ignoredBytes, 7, 3, 2, 7, 0x0A, 0x0D3B));
    }

    // The master's firmware, captured into a file and programmed into a blank
    // module of the same family, leaves the two memories identical; a copy of
    // the file cut short inside a record after its last page says what it
    // left out and programs all the same.
    void captureThenProgramCopiesTheMemory() {
        FirmwareRig rig;
        QVERIFY(rig.captureMaster("master", 256));
        const QByteArray file = readFile(rig.path("master.fw"));
        QCOMPARE(file.size(), 11 + 256 * 268);

        QVERIFY(writeFile(rig.path("cut.fw"), file + file.mid(11, 100)));
        rig.reporter.events.clear();
        rig.programmer().ReadFirmwareFile(rig.path("cut.fw"));
        QCOMPARE(rig.reporter.events,
                 (QStringList{"256 pages loaded OK.", "Firmware file loaded successfully.",
                              "The file ends in a partial record of 100 bytes; they were ignored."}));
        rig.target().RequestTargetID();
        QCOMPARE(rig.programmer().ProgramFW(false), Outcome::Succeeded);
        QCOMPARE(rig.reporter.statuses.last(), "Program complete.");
        QVERIFY(rig.module.model().memory() == rig.master.model().memory());
    }

    // What goes on the line and what the operator reads, page by page, in
    // order with the progress; an erase that fails stops the run before the
    // first page. The result counts the pages written and names the file.
    void eventsAndFramesOfARun_data() {
        addRows(
            {"three pages | | program 0/3, Erasing ...., Writing page 0 of 3, program 1/3, Writing page 1 of "
             "3, program 2/3, Writing page 2 of 3, program 3/3, Program complete. | succeeded 3",
             "erase refused | refuse | program 0/3, Erasing ...., Erase Failed. | refused 0",
             "erase unanswered | no-reply | program 0/3, Erasing ...., No response. | no-response 0"});
    }
    void eventsAndFramesOfARun() {
        const auto [eraseFault, events, outcome] = fields<3>();
        FirmwareRig rig;
        QVERIFY(rig.captureMaster("three.fw", 3));
        rig.load("three.fw");
        if (!eraseFault.isEmpty())
            rig.module.faults.plan(*parseFaultPlan("17:1:" + eraseFault));
        rig.reporter.events.clear();
        const OperationResult r = rig.operations().programFirmware({});
        QCOMPARE(rig.reporter.events.join(", "), events);
        QCOMPARE(
            join(outcomeName(r.outcome) + (" " + QString::number(r.pages)), r.status, r.totalPages, r.file),
            join(outcome, events.section(", ", -1), 3, rig.path("three.fw")));
        const QByteArray file = readFile(rig.path("three.fw"));
        const auto& heard = rig.module.heardFrames();
        QCOMPARE(heard.size(), eraseFault.isEmpty() ? 4 : 1);
        QCOMPARE(heard[0].bytes.toHex(' '), "5a 11 11");
        for (int page = 1; page < heard.size(); ++page) // the records as read, with their sums
            QCOMPARE(heard[page].bytes.left(266), "\x5a\x12" + file.mid(11 + (page - 1) * 268, 264));
    }

    // The target check: system equal, sub-system by the high nibble of the
    // mask. Which of sub-systems 4, 5, 6 a file of sub-system 5 matches.
    void firmwareMatchesTarget_data() {
        addRows({"0x00 any | 1 | 0x00 | 4 5 6", "0x10 at least | 1 | 0x10 | 5 6",
                 "0x20 at most | 1 | 0x20 | 4 5", "0xF0 equal | 1 | 0xF0 | 5", "0x30 none | 1 | 0x30 | ",
                 "0xE0 none | 1 | 0xE0 | ", "low nibble ignored | 1 | 0x1F | 5 6",
                 "low nibble 3 ignored | 1 | 0x03 | 4 5 6", "another system | 2 | 0x00 | "});
    }
    void firmwareMatchesTarget() {
        const auto [fileSystem, mask, matching] = fields<3>();
        FirmwareRig rig;
        QVERIFY(writeFile(rig.path("mask.fw"),
                          header(fileSystem.toInt(), 5, mask.toInt(nullptr, 16)) + pageLine(1)));
        rig.programmer().ReadFirmwareFile(rig.path("mask.fw"));
        QStringList matched;
        for (int sub : {4, 5, 6}) {
            rig.module.identity.subsystem = static_cast<quint8>(sub);
            rig.target().RequestIDFromTarget();
            if (rig.programmer().FirmwareMatchesTarget())
                matched << QString::number(sub);
        }
        QCOMPARE(matched.join(' '), matching);
    }

    // With no file nothing is sent. With Ctrl a file for another module goes
    // out; the module itself refuses a record it cannot read, and its reason
    // shows after the next identity read.
    void refusedRuns() {
        FirmwareRig rig;
        QVERIFY(rig.programmer().ProgramFW(true) != Outcome::Succeeded);
        QCOMPARE(join(rig.reporter.mainStatuses.join(""), rig.heard().size()),
                 "No firmware file has been loaded. | 0");
        QVERIFY(writeFile(rig.path("other.fw"), header(2, 10, 0x00) + pageLine(3)));
        rig.load("other.fw");
        rig.programmer().ProgramFW(true);
        QCOMPARE(join(rig.heard().size(), rig.heard().first(), rig.reporter.statuses.last()),
                 "2 | 5a 11 11 | Program Failed (Program Error).");
        rig.target().RequestTargetID();
        QCOMPARE(ErrorCodetoStr(rig.target().identity().LastErrorCode), "EncDataChSumFail");
    }

    // A load that breaks off, or one started while the file is being
    // programmed, leaves the previous image whole and current; a bad record
    // makes the new file current but not programmable.
    void loads() {
        FirmwareRig rig;
        QVERIFY(rig.captureMaster("good.fw", 2));
        rig.programmer().ReadFirmwareFile(rig.path("good.fw"));
        rig.reporter.changes.clear();
        const auto changed = [&rig] { return rig.reporter.changes.count(Change::Firmware); };
        QVERIFY(writeFile(rig.path("too-many.fw"), header(1, 10, 0) + pages(258)));
        rig.programmer().ReadFirmwareFile(rig.path("too-many.fw"));
        rig.programmer().ReadFirmwareFile(rig.path("missing.fw"));
        QCOMPARE(rig.reporter.criticals.size(), 2);
        QCOMPARE(rig.reporter.criticals[0].left(45) + " / " + rig.reporter.criticals[1].left(38),
                 "File Read: Error reading from firmware file:  / File Read: Error opening config file: ");
        // A load while the file is being programmed is refused as well.
        QVERIFY(writeFile(rig.path("other.fw"), header(1, 10, 0) + pages(2)));
        rig.target().RequestTargetID();
        rig.module.clearHeardFrames();
        OperationResult duringRun;
        const auto loadDuringRun = connect(&rig.module, &VirtualModule::frameHeard, this, [&] {
            if (rig.module.heardFrames().size() == 2) // the erase, then the first page
                duringRun = rig.operations().LoadFirmwareFile(rig.path("other.fw"));
        });
        QCOMPARE(rig.operations().programFirmware({}).outcome, Outcome::Succeeded);
        disconnect(loadDuringRun);
        QCOMPARE(duringRun.outcome, Outcome::Busy);
        QCOMPARE(changed(), 0);
        QVERIFY(rig.programmer().GetFWFileLoaded());
        QCOMPARE(rig.programmer().FirmwareFilename(), rig.path("good.fw"));
        // The good file, whole.
        QVERIFY(rig.module.model().memory().left(512) == rig.master.model().memory().left(512));

        QVERIFY(writeFile(rig.path("bad.fw"), header(2, 1, 0) + pageLine(1, 1))); // checksum off
        rig.reporter.statuses.clear();
        rig.programmer().ReadFirmwareFile(rig.path("bad.fw"));
        QCOMPARE(rig.reporter.statuses,
                 (QStringList{"1 pages loaded OK.", "Checksum error on input line 1"}));
        QCOMPARE(changed(), 1);
        QVERIFY(!rig.programmer().GetFWFileLoaded());
        QCOMPARE(rig.programmer().image().FWSystemID, qint16(2));
    }

    // The capture's file, in place of an older one, and what it asks the module for.
    void captureFile() {
        FirmwareRig rig;
        QVERIFY(writeFile(rig.path("cap.fw"), QByteArray(100000, 'x')));
        rig.link().SelectCommsPort(11);
        CaptureSettings settings;            // as the pane starts
        QVERIFY(!settings.quickSet(8, 300)); // there are presets 0 to 7
        rig.master.identity.appMinor = 5;
        settings.chooseFile(rig.path("jo.doe/cap")); // a "." anywhere: no extension added
        QCOMPARE(settings.file, rig.path("jo.doe/cap"));
        settings.chooseFile(rig.path("cap"));
        QCOMPARE(settings.file, rig.path("cap.fw"));
        QCOMPARE(rig.capture().UploadEncryptedFirmware(settings), Outcome::Succeeded);
        QCOMPARE(rig.reporter.statuses.count("Uploading firmware ..."), 120);
        QCOMPARE(rig.reporter.statuses.last(), "Firmware upload completed successfully.");
        const QByteArray file = readFile(rig.path("cap.fw"));
        QCOMPARE(join(file.size(), QFile::exists(rig.path("cap.fw.partial"))), "32171 | false");
        QCOMPARE(file.left(11).toHex(' '), "01 0b 00 00 05 02 22 00 3b 0d 0a");
        QCOMPARE(file.mid(11 + 119 * 268 + 265), ";\r\n");
        const auto& heard = rig.master.heardFrames();
        QCOMPARE(heard.size(), 121); // the identity read, then 120 pages
        QCOMPARE(heard[1].bytes.toHex(' '), "5a 14 01 0b 00 00 22 00 00 00 42");
        QCOMPARE(heard[120].bytes.mid(8, 2).toHex(' '), "77 00"); // page 119
    }

    // The page time-out is 2000 ms: a page just inside it counts, none at all
    // ends the capture then, not at the link's 1500 ms.
    void pageTimeout_data() {
        addRows({"page at 1850 ms | 20:1:delay=1850 | 1800 | Firmware upload completed successfully.",
                 "no page | 20:1:no-reply | 1980 | No response."});
    }
    void pageTimeout() {
        const auto [fault, minMs, status] = fields<3>();
        FirmwareRig rig{LinkTimings{}};
        rig.link().SelectCommsPort(11);
        rig.master.faults.plan(*parseFaultPlan(fault));
        rig.target().RequestTargetID();
        QVERIFY_BETWEEN(msToRun([&] { rig.capture().UploadEncryptedFirmware(rig.into("slow.fw", 1)); }),
                        minMs.toInt(), 3000);
        QCOMPARE(rig.reporter.statuses.last(), status);
    }

    // A capture that ends early leaves the chosen file as it was, keeps what
    // arrived beside it when that is surely on the disk, and names no file it
    // did not keep; the partial file of an earlier capture ("earlier") stays
    // until this one has a page of its own. The master's fault, what else goes
    // wrong (a system call failing on its nth call), the outcome, the file the
    // result names, the files beside the chosen one, what the operator reads
    // last: message box / status.
    void captureThatStops_data() {
        addRows(
            {"silent after one page | 20:2:no-reply |  | no-response | {partial} | old.fw.partial 279 | "
             "No response. 1 of 12 pages kept in {partial}",
             "the earlier partial file cannot be replaced |  | rename 1 | file-error |  | old.fw.partial 7 | "
             "File Open: Error opening firmware file: Permission denied / 1 of 12 pages arrived but could "
             "not "
             "be kept.",
             "refused at page 10 | 20:11:refuse |  | no-response | {partial} | old.fw.partial 2691 | "
             "No response. 10 of 12 pages kept in {partial}",
             "damaged page 10 | 20:11:bad-checksum |  | no-response | {partial} | old.fw.partial 2691 | "
             "No response. 10 of 12 pages kept in {partial}",
             "silent at page 0 | 20:1:no-reply |  | no-response |  | old.fw.partial 7 | No response.",
             "closed while identifying | 16:2:delay=200 | close | abandoned |  | old.fw.partial 7 | "
             "Requesting Target ID",
             "never identified | 16:1:no-reply | unread | no-response |  | old.fw.partial 7 | "
             "Read Target ID for version number first.",
             "no such folder |  | no folder | file-error |  | old.fw.partial 7 | "
             "File Open: Error opening firmware file: No such file or directory / ID Request OK.",
             "disk full in page 2 |  | write 4 | file-error | {partial} | old.fw.partial 547 | "
             "File Open: Error opening firmware file: No space left on device / "
             "2 of 12 pages kept in {partial}",
             "disk full in page 0 |  | write 2 | file-error |  | old.fw.partial 7 | "
             "File Open: Error opening firmware file: No space left on device / "
             "1 of 12 pages arrived but could not be kept.",
             "rename over the chosen file fails |  | rename 2 | file-error | {partial} | "
             "old.fw.partial 3227 | File Open: Error opening firmware file: Permission denied / "
             "12 of 12 pages kept in {partial}",
             "sync before that rename fails |  | fsync 2 | file-error |  |  | "
             "File Open: Error opening firmware file: Input/output error / "
             "12 of 12 pages arrived but could not be kept."});
    }
    void captureThatStops() {
        auto [fault, trouble, outcome, named, beside, reads] = fields<6>();
        FirmwareRig rig;
        rig.link().SelectCommsPort(11);
        QVERIFY(writeFile(rig.path("old.fw"), "old"));
        QVERIFY(writeFile(rig.path("old.fw.partial"), "earlier"));
        const CaptureSettings settings =
            rig.into(trouble == "no folder" ? "no-such-folder/old.fw" : "old.fw", 12);
        if (const int at = trouble.section(' ', 1).toInt(); at > 0)
            rig.capture().setSystemCalls(failingCall(trouble.section(' ', 0, 0), at));
        if (!fault.isEmpty())
            rig.master.faults.plan(*parseFaultPlan(fault));
        if (trouble != "unread")
            rig.target().RequestTargetID(); // the version is known
        if (trouble == "close")
            QTimer::singleShot(50, [&rig] { rig.core->shutdown(); });
        const OperationResult r = rig.operations().UploadEncryptedFirmware(settings);
        QStringList files;
        for (const QFileInfo& file : QDir(rig.folder.path()).entryInfoList(QDir::Files, QDir::Name))
            if (file.fileName() != "old.fw")
                files << file.fileName() + ' ' + QString::number(file.size());
        QStringList read{r.critical, r.status};
        read.removeAll(QString());
        const QString partial = rig.path("old.fw.partial");
        QCOMPARE(
            join(outcomeName(r.outcome), r.file, files.join(", "), read.join(" / ")),
            join(outcome, named.replace("{partial}", partial), beside, reads.replace("{partial}", partial)));
        QCOMPARE(readFile(rig.path("old.fw")), "old");
        if (!r.file.isEmpty()) // it holds the pages the result counts
            QCOMPARE(readFile(r.file).size(), 11 + r.pages * 268);
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_Firmware.moc"

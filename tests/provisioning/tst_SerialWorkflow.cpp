// Serial numbers end to end: writing, logging, and recovery from the server.

#include "FirmwareProgrammer.h"
#include "LocalHttpServer.h"
#include "ModuleRig.h"
#include "RecoveryServer.h"
#include "SerialAllocation.h"
#include "SerialLedgerFile.h"
#include "SerialRecovery.h"
#include "TempDir.h"

#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <unistd.h>

using namespace std::chrono_literals;
using Found = SerialRecoveryResult::Outcome;

namespace {
const QByteArray kUnitPath = "/Temp/004711_Fix.dat";
const QString kDownloadFailed = QStringLiteral("Unable to find the required file from the internet.");

int failingFsync(int) {
    errno = EIO;
    return -1;
}

// The core with a blank module (ID block not yet written) and a fresh
// serial-number database.
struct SerialRig : ModuleRig {
    explicit SerialRig(const QByteArray& logged = {}) {
        module.identity.init = 0xFF;
        module.identity.serial = 0xFFFF;
        writeFile(folder.filePath("log.ser"), logged);
        reload();
    }
    SerialAllocation& serials() { return core->serials(); }
    QByteArray log() const { return readFile(folder.filePath("log.ser")); }
    void reload() { serials().ReadSerialDBFile({folder.filePath("log.ser"), {}}); }
    QString next() const {
        const std::optional<qint32> n = core->serials().nextSerial();
        return n ? QString::number(*n) : "-";
    }
    // "Program and Log" on a module that is blank again.
    void programAndLog() {
        module.identity.init = 0xFF;
        operations().ProgramAndLogSerialNo();
    }
    QTemporaryDir folder;
};

// A record logged for serial `serial` (five characters), ID block 5A 01 0A.
QByteArray record(const char* serial) {
    return QByteArray(serial) + ",5A,01,0A,34,12,11,22,33,ABC123,C1,C2,C3,C4,03,1E,1F,20,21,05,01,"
                                " Line 7 memo,03/03/26-14:05;\r\n";
}

SerialRecoveryResult fetch(const QString& server, std::chrono::milliseconds limit = 5s,
                           const QString& typed = QStringLiteral("004711")) {
    return SerialRecovery(server, limit).OpenAndReadInternetSerialFile(typed);
}

} // namespace

// Every case runs with TMPDIR pointing at a folder of its own, which must be
// empty again afterwards: a downloaded copy never stays behind.
class TestSerialWorkflow : public QObject {
    Q_OBJECT
    QTemporaryDir TempFolder;

private slots:
    void initTestCase() {
        QVERIFY(TempFolder.isValid());
        qputenv("TMPDIR", QFile::encodeName(TempFolder.path()));
    }
    void cleanup() {
        const QFileInfoList left =
            QDir(TempFolder.path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QFileInfo& entry : left) // so that one failure does not fail the cases after it
            QFile::remove(entry.filePath());
        QCOMPARE(left.size(), 0);
    }

    // Without a database "Prog" writes the block and nothing else ("Program
    // and Log" then sends nothing: see recordNotDurable).
    void withoutADatabase() {
        ModuleRig rig;
        rig.operations().WriteSerialNo();
        QCOMPARE(rig.heard(), QStringList{"5a 13 5a 01 01 01 00 00 00 00 70"});
        QCOMPARE(rig.reporter.statuses, (QStringList{"Writing serial number ...", "Write Serial OK."}));
    }

    // A unit is logged only when the module holds the block written. Its
    // number is spent once it may have reached the module: only a module
    // that answers without the block gives it back. The ID block's first
    // byte, a fault, the next serial number after it, then the statuses:
    // {R} stands for the identity read, {W} for the write.
    void programAndLog_data() {
        addRows(
            {"logged | 0xFF |  | 2 | {R}, {W}, Write Serial OK., {R}, Writing the device data to the serial "
             "DB file, OK",
             "already programmed | 0x5A |  | 1 | {R}, Aborted - Serial No. already programmed",
             "write refused | 0xFF | 19:1:refuse | 1 | {R}, {W}, Write Serial Failed., {R}, Write Serial "
             "Failed.",
             "write lost | 0xFF | 19:1:no-reply | 1 | {R}, {W}, No response., {R}, No response.",
             "silent before the read-back | 0xFF | 16:2:no-reply | 2 | {R}, {W}, Write Serial OK., "
             "Requesting Target ID, No response., Not logged: the module may hold serial number 1, which "
             "stays reserved and is not given again."});
    }
    void programAndLog() {
        const auto [init, fault, next, statuses] = fields<4>();
        SerialRig rig;
        rig.reporter.statuses.clear();
        rig.module.identity.init = static_cast<quint8>(init.toInt(nullptr, 16));
        if (!fault.isEmpty())
            rig.module.faults.plan(*parseFaultPlan(fault));
        rig.serials().setMemo(QStringLiteral("line 3"));
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.reporter.statuses.join(", "), QString(statuses)
                                                       .replace("{R}", "Requesting Target ID, ID Request OK.")
                                                       .replace("{W}", "Writing serial number ..."));
        QCOMPARE(rig.next(), next);
        // A new log: all zero but the serial bytes.
        QCOMPARE(rig.log().left(30) + rig.log().mid(70, 12) + rig.log().mid(97),
                 statuses.endsWith("OK") ? "00001,00,00,00,01,00,00,00,00,      line 3;\r\n" : QByteArray());
        rig.reload(); // the log and its ledger agree with what the run left
        QCOMPARE(rig.next(), next);
    }

    // "Program and Log" writes the number it reserved, whatever SerL and SerH
    // hold (a hand edit, a recovered unit's block); the other bytes are
    // written as they stand. The log holds 00041; the operator's edit, then
    // the record's first 29 bytes.
    void serialBytesAreTheReserved_data() {
        addRows({"SerL edited onto a logged number | 3:41 | 00042,5A,01,0A,2A,00,11,22,33",
                 "a recovered block | block:5A,01,03,C8,12,07,08,09 | 00042,5A,01,03,2A,00,07,08,09",
                 "the next serial's high byte | next:256 | 00256,5A,01,0A,00,01,11,22,33"});
    }
    void serialBytesAreTheReserved() {
        const auto [edit, logged] = fields<2>();
        SerialRig rig(record("00041"));
        const int serial = logged.left(5).toInt();
        if (edit.startsWith("next:")) {
            rig.serials().enterNextSerial(edit.mid(5).toInt());
        } else if (edit.startsWith("block:")) {
            IdBlock block{};
            std::ranges::transform(edit.mid(6).split(','), block.begin(),
                                   [](auto& b) { return qint16(b.toInt(nullptr, 16)); });
            rig.serials().putSerialData(block);
        } else {
            rig.serials().enterSerialByte(edit.section(':', 0, 0).toInt(), edit.section(':', 1).toInt());
        }
        rig.programAndLog();
        QCOMPARE(rig.log().mid(100, 29), logged.toLatin1());
        const IdBlock& shown = rig.serials().setSerialData(); // its SerL and SerH follow the next number
        QCOMPARE(join(rig.module.identity.serial, rig.next(), shown[3] + 256 * shown[4]),
                 join(serial, serial + 1, serial + 1));
        QVERIFY(readFile(rig.folder.filePath("log.ser.ledger"))
                    .contains("\t" + logged.left(5).toLatin1() + "\t"));
        rig.reload(); // reloaded, it goes on from there
        QCOMPARE(join(rig.next(), rig.reporter.statuses.last()),
                 join(serial + 1, "File loaded with no errors."));
    }

    // The next serial number follows the highest in the log. A log whose last
    // serial number leaves no next one refuses to give any until the operator
    // sets one, and the operator cannot set a number that has been given.
    // The last record's serial field, the next serial after the load, the
    // status of a "Program and Log" that follows, the records it added, and
    // the next serial after it.
    void lastSerialOfTheLog_data() {
        addRows({"65534 gives 65535 | 65534 | 65535 | OK | 1 | -", "65535 | 65535 | - | {none} | 0 | -",
                 "65536 | 65536 | - | {none} | 0 | -", "not a number | 0004x | - | {none} | 0 | -",
                 "a unit logged late | 00003 | 8 | OK | 1 | 9",
                 "a unit numbered 0 | 00000 | 8 | OK | 1 | 9"});
    }
    void lastSerialOfTheLog() {
        const auto [field, next, status, added, after] = fields<5>();
        SerialRig rig(record("00007") + record(qPrintable(field)));
        QCOMPARE(rig.next(), next);
        QCOMPARE(rig.reporter.statuses.last().endsWith("set the next serial number by clicking it."),
                 next == "-");
        rig.programAndLog();
        QCOMPARE(rig.reporter.statuses.last(),
                 QString(status).replace("{none}",
                                         "Error: No next serial number. Set the next serial number by "
                                         "clicking it."));
        QCOMPARE(join(rig.log().size(), rig.heard().isEmpty(), rig.next()),
                 join(200 + 100 * added.toInt(), added == "0", after));
        rig.serials().enterNextSerial(7);
        QCOMPARE(rig.reporter.statuses.last(),
                 "Serial number 7 has been given already: " +
                     (after == "-" ? "there is still no next serial number."
                                   : "the next serial number stays " + after + "."));
        rig.serials().enterNextSerial(20);
        rig.programAndLog();
        QCOMPARE(join(rig.next(), rig.log().right(100).left(6)), "21 | 00020,");
    }

    // A record that could not be made durable is taken back: the file keeps
    // its length, its number stays reserved, and logging waits until the
    // operator chooses the file again. The number is never given again; the
    // module that holds it is logged under it when it comes back.
    void recordNotDurable() {
        SerialRig rig(record("00041"));
        auto* file = dynamic_cast<SerialLedgerFile*>(rig.serials().ledger());
        QVERIFY(file);
        file->setSystemCalls({.fsync = failingFsync}, {}); // the append to the .ser file alone fails
        rig.reporter.statuses.clear();
        rig.programAndLog();
        const ModuleIdBlock pulled = rig.module.identity.idBlock();
        QCOMPARE(rig.log(), record("00041"));
        QCOMPARE(rig.reporter.criticals.size(), 1);
        QVERIFY(rig.reporter.criticals[0].startsWith(
            "File Write: Error writing to Serial Number Database file: "));
        QCOMPARE(rig.reporter.statuses.last(),
                 "Not logged: the module now holds serial number 42, which is not in the serial DB file; it "
                 "stays reserved and is not given again. Choose the file again to go on.");
        rig.module.clearHeardFrames();
        rig.programAndLog();
        QCOMPARE(rig.reporter.statuses.last(), "Error: No Serial DB file open.");
        QVERIFY(rig.heard().isEmpty());
        rig.reload();
        QCOMPARE(join(rig.next(), rig.reporter.statuses.last()),
                 "43 | File loaded with no errors. 1 serial number reserved but not logged: 42.");
        rig.programAndLog();
        QCOMPARE(join(rig.log().mid(100, 6), rig.module.identity.serial), "00043, | 43");
        rig.module.identity.setIdBlock(pulled); // the first module comes back
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.reporter.statuses.mid(rig.reporter.statuses.size() - 3),
                 (QStringList{"Serial number 42 was reserved for this module: logging it.",
                              "Writing the device data to the serial DB file", "OK"}));
        QCOMPARE(join(rig.log().size(), rig.log().mid(200, 30), rig.next()),
                 "300 | 00042,5A,01,0A,2A,00,11,22,33, | 44");
        rig.reload();
        QCOMPARE(rig.reporter.statuses.last(), "File loaded with no errors.");
    }

    // "Program and Log" with firmware needs a firmware file: without one it
    // sends nothing. (Programming after the log: tst_Cli, "log-serial and
    // program".)
    void progLogWriteFirmware() {
        SerialRig rig;
        rig.reporter.statuses.clear();
        rig.operations().ProgramAndLogSerialNo({true, false});
        QCOMPARE(rig.reporter.statuses, QStringList{"No Firmware file loaded"});
        QVERIFY(rig.module.heardFrames().isEmpty());
    }

    // "Apply" takes six characters and nothing else: a code of another length
    // asks the server nothing. (A good one is written as the command line's
    // test shows.)
    void recoveryNeedsSixCharacters() {
        LocalHttpServer server;
        ModuleRig rig;
        const OperationResult result = rig.operations().RecoverSerialNo({"4711", {}});
        QCOMPARE(join(rig.reporter.mainStatuses.join(','), outcomeName(result.outcome)),
                 "Invalid code. | bad-input");
        QVERIFY(server.requestPaths().isEmpty() && rig.heard().isEmpty());
    }

    // What the operator is told and which block is written. Error pages that
    // look like a good file must not be taken for one. The answer's status,
    // body, a redirect, what is told, the block.
    void download_data() {
        addRows(
            {"good file | 200 | 5A0103C812000000;\r\n |  | OK. | 5a0103c812000000",
             "rest ignored | 200 | FF00000000000001;x |  | OK. | ff00000000000001",
             "one byte short | 200 | 5A0103C81200000;\r\n |  | Failed | ",
             "only 16 bytes | 200 | 5A0103C812000000 |  | Failed | ",
             "no ';' at byte 17 | 200 | 5A0103C8120000001 |  | Failed | ",
             "non-hex digit | 200 | 5A0103C81200G000; |  | Failed | ",
             "lower-case hex | 200 | 5a0103c812000000; |  | Failed | ",
             "not found | 404 | 5A0103C812000000;\r\n |  | <failed> | ",
             "redirect followed | 200 | 5A0103C812000000;\r\n | /moved/004711.dat | OK. | 5a0103c812000000",
             "oversized body | 200 | 5A0103C812000000;\r\n<70 KiB> |  | <failed> | "});
    }
    void download() {
        auto [status, body, redirectTo, told, block] = fields<5>();
        LocalHttpServer server;
        QByteArrayList paths{kUnitPath};
        if (!redirectTo.isEmpty()) {
            server.respond(kUnitPath, 302, {}, redirectTo.toLatin1());
            paths.append(redirectTo.toLatin1());
        }
        server.respond(paths.last(), status.toInt(),
                       body.replace("<70 KiB>", QString(qsizetype{70} * 1024, '0')).toLatin1());
        const SerialRecoveryResult result = fetch(server.baseUrl());
        QCOMPARE(result.status + result.messageText, told.replace("<failed>", kDownloadFailed));
        QCOMPARE(result.messageTitle, result.messageText.isEmpty() ? QString() : "Serial Recovery");
        QByteArray written;
        for (const qint16 value : result.block)
            written += char(value);
        QCOMPARE(result.good() ? written.toHex() : QByteArray(), block.toLatin1());
        QCOMPARE(server.requestPaths(), paths);
    }

    // Whatever the operator types selects one file in /Temp and nothing else.
    void typedTextIsOnePathSegment_data() {
        addRows({"letters and digits | AB12cd | AB12cd", "slash | 00/471 | 00%2F471",
                 "question mark | 00?471 | 00%3F471", "hash | 00#471 | 00%23471",
                 "percent | 00%2F1 | 00%252F1", "blank | 00 471 | 00%20471"});
    }
    void typedTextIsOnePathSegment() {
        const auto [typed, segment] = fields<2>();
        LocalHttpServer server;
        fetch(server.baseUrl(), 5s, typed);
        QCOMPARE(server.requestPaths(), QByteArrayList{"/Temp/" + segment.toLatin1() + "_Fix.dat"});
    }

    // A silent server: the wait gives up at the time limit, in the event
    // loop and without using the processor; closing the window ends it at
    // once. While a download runs, its copy is a file of this user's alone,
    // not a name another user could have planted.
    void silentServer() {
        LocalHttpServer server;
        server.respond(kUnitPath, 0);
        bool timerRanDuringTheWait = false;
        QTimer::singleShot(50, this, [&] { timerRanDuringTheWait = true; });
        SerialRecoveryResult result;
        const double cpuBefore = cpuMilliseconds();
        QVERIFY_BETWEEN(msToRun([&] { result = fetch(server.baseUrl(), 300ms); }), 250, 5000);
        const double cpuUsed = cpuMilliseconds() - cpuBefore;
        QVERIFY2(timerRanDuringTheWait && cpuUsed < 100, qPrintable(QString::number(cpuUsed)));
        QCOMPARE(result.messageText, kDownloadFailed);

        SerialRecovery recovery(server.baseUrl()); // the real 20 s limit
        QFileInfoList copies;
        bool fixedName = true;
        QTimer::singleShot(100, this, [&] {
            // The files this process holds open in the folder, named or not (a
            // temporary file may have no name at all until it is linked).
            for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System))
                if (fd.symLinkTarget().startsWith(TempFolder.path() + u'/'))
                    copies.append(fd);
            fixedName = QFile::exists(TempFolder.filePath(QStringLiteral("t.dat")));
            recovery.abandon();
        });
        QVERIFY(msToRun([&] { result = recovery.OpenAndReadInternetSerialFile(QStringLiteral("004711")); }) <
                5000);
        QCOMPARE(result.outcome, Found::Abandoned);
        QCOMPARE(result.messageText + result.status, QString()); // nothing to tell a closing program
        QCOMPARE(join(copies.size(), fixedName, server.requestPaths().size()), "1 | false | 2");
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QCOMPARE(int(copies[0].permissions() & ~ownerOnly), 0);
    }

    // The option's address, the setting's, and the one used; the setting is
    // read from the settings file at run time.
    void serverAddress_data() {
        addRows({"neither |  |  | ",
                 "the setting, its '/' ignored |  | http://units.example/fix/ | "
                 "http://units.example/fix",
                 "the option before the setting | http://h:8/a/ | http://units.example/fix | http://h:8/a"});
    }
    void serverAddress() {
        const auto [option, setting, address] = fields<3>();
        QTemporaryDir config;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        QVERIFY(QDir().mkpath(config.filePath("merlax-bootloader")));
        QVERIFY(writeFile(config.filePath("merlax-bootloader/settings.ini"),
                          "[recovery]\nurl=" + setting.toLatin1() + "\n"));
        QCOMPARE(recoverySettingsFile(), config.filePath("merlax-bootloader/settings.ini"));
        QCOMPARE(RecoveryBaseURL(option), address);
    }

    // Nothing is fetched without a server or a temporary folder; the
    // folder follows TMPDIR; a download gives up after 20 s by default.
    void recoveryNeedsAServerAndAFolder() {
        SerialRecoveryResult result = fetch(QString(), 300ms);
        QCOMPARE(result.outcome, Found::NoServerConfigured);
        QCOMPARE(result.messageTitle + ": " + result.messageText,
                 QStringLiteral("Serial Recovery: No recovery server is configured. Give its address with "
                                "--recovery-url, or set url=http://host/ in the [recovery] section of ") +
                     recoverySettingsFile() + QStringLiteral(", and try again."));
        QCOMPARE(GetTempDir(), TempFolder.path() + "/");
        LocalHttpServer server;
        server.respond(kUnitPath, 200, "5A0103C812000000;");
        qputenv("TMPDIR", QFile::encodeName(TempFolder.filePath(QStringLiteral("missing"))));
        const auto restore = qScopeGuard([this] { qputenv("TMPDIR", QFile::encodeName(TempFolder.path())); });
        QCOMPARE(GetTempDir(), QString());
        result = fetch(server.baseUrl());
        QCOMPARE(result.outcome, Found::LocalFileError);
        QVERIFY(result.messageText.startsWith(QStringLiteral("Error loading data file : ")));
        QCOMPARE(server.requestPaths(), QByteArrayList());
    }
};

QTEST_GUILESS_MAIN(TestSerialWorkflow)
#include "tst_SerialWorkflow.moc"

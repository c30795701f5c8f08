// The command line as a script runs it: the real program against virtual
// modules on pseudo-terminals, its exit codes, the lines it prints, the
// frames the modules hear and the files it leaves.

#include "LocalHttpServer.h"
#include "ModuleRig.h"
#include "SerialDatabase.h"
#include "TerminalSink.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <functional>

namespace {

struct Finished {
    int exitCode = -1;
    QString out;     // standard output
    QStringList err; // standard error, a line each
};

// The program, started with `arguments`; `whileRunning` runs once it has started.
class Cli {
public:
    explicit Cli(const QStringList& arguments, const QProcessEnvironment& environment = {}) {
        if (!environment.isEmpty())
            process.setProcessEnvironment(environment);
        process.start(QStringLiteral(MERLAX_CLI), arguments);
    }
    // Waits in the event loop, so that the modules of this process answer meanwhile.
    Finished finish(int timeoutMs = 20000) {
        QSignalSpy done(&process, &QProcess::finished);
        if (process.state() != QProcess::NotRunning && !done.wait(timeoutMs))
            qWarning("the command line did not end");
        Finished f;
        f.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        f.out = QString::fromUtf8(process.readAllStandardOutput());
        f.err = QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        return f;
    }
    QProcess process;
};

Finished run(const QStringList& arguments, const QProcessEnvironment& environment = {}) {
    return Cli(arguments, environment).finish();
}

// The command codes the module heard, in hex: "10 11 12".
QString codesHeard(const VirtualModule& module) {
    QStringList codes;
    for (const VirtualModule::HeardFrame& frame : module.heardFrames())
        codes << QString::number(quint8(frame.bytes.at(1)), 16);
    return codes.join(' ');
}

// A record logged for serial `serial` (five characters), ID block 5A 01 0A.
QByteArray record(const char* serial) {
    return QByteArray(serial) + ",5A,01,0A,34,12,11,22,33,ABC123,C1,C2,C3,C4,03,1E,1F,20,21,05,01,"
                                " Line 7 memo,03/03/26-14:05;\r\n";
}

// Whether process `pid` has the file open.
bool holdsOpen(qint64 pid, const QString& path) {
    const QFileInfoList fds =
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryInfoList(QDir::AllEntries | QDir::System);
    return std::ranges::any_of(fds, [&](const QFileInfo& fd) { return fd.symLinkTarget() == path; });
}

// A module whose ID block is not yet written.
void makeBlank(VirtualModule& module) {
    module.identity.init = 0xFF;
    module.identity.serial = 0xFFFF;
}

// A station's results for `count` modules put in one after the other: after
// unit n has been reported `between(n)` runs, then the module is taken out
// (it stops answering; two unanswered requests mean the station has seen it
// gone) and a blank one goes in.
QList<QJsonObject> stationUnits(Cli& cli, VirtualModule& module, int count,
                                const std::function<void(int)>& between) {
    QList<QJsonObject> units;
    QSignalSpy heard(&module, &VirtualModule::frameHeard);
    for (int n = 1; n <= count; ++n) {
        if (!QTest::qWaitFor([&] { return cli.process.canReadLine(); }, 10000))
            break;
        units << QJsonDocument::fromJson(cli.process.readLine()).object();
        between(n);
        module.faults.unanswered.insert(16);
        const qsizetype before = heard.size();
        if (!QTest::qWaitFor([&] { return heard.size() >= before + 2; }, 10000))
            break;
        module.faults.unanswered.clear();
        makeBlank(module);
    }
    return units;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
    QTemporaryDir Folder;
    QString OnePage; // firmware files for the modules here
    QString AllPages;

private slots:
    // The progress bar on a terminal: no time left is guessed before a page
    // has gone, a status line is written above the bar, and the finished bar stays.
    void progressBarOnATerminal() {
        char* bytes = nullptr;
        size_t size = 0;
        std::FILE* stream = open_memstream(&bytes, &size);
        {
            TerminalSink sink(true, stream);
            sink.progress(Activity::Programming, 0, 4);
            QTest::qWait(20); // time for a rate
            sink.progress(Activity::Programming, 2, 4);
            sink.status(StatusLines::Both, "Erasing ....");
            sink.progress(Activity::Programming, 4, 4);
            sink.progress(Activity::Capture, 0, 1); // a new run
            sink.progress(Activity::Programming, 0, 0);
        }
        std::fclose(stream);
        const QString out = QString::fromLatin1(bytes, static_cast<qsizetype>(size));
        std::free(bytes);
        const QStringList draws = out.split('\r');
        QCOMPARE(join(draws.size(), draws[1], draws[2].left(47), draws[2].right(9), draws[3],
                      draws[4].left(47), draws[5].left(47), draws[5].right(6), draws[6].left(47),
                      draws[7].left(47)),
                 join(8, "[..............................] 0/4 pages   0%   0.0 pages/s - left",
                      "[###############...............] 2/4 pages  50%", "0:00 left", "\033[KErasing ....\n",
                      "[###############...............] 2/4 pages  50%",
                      "[##############################] 4/4 pages 100%", " left\n",
                      "[..............................] 0/1 pages   0%",
                      "[##############################] 0/0 pages 100%"));
    }

    void initTestCase() {
        VirtualModule master;
        QVERIFY(master.start());
        master.model().setMemory(randomMemory(5));
        OnePage = Folder.filePath("one.fw");
        AllPages = Folder.filePath("all.fw");
        for (const auto& [file, pages] : {std::pair{OnePage, 1}, std::pair{AllPages, 256}}) {
            const Finished f = run({"--port", master.devicePath(), "capture", file, "--header",
                                    "1,10,0,0,0,0", "--pages", QString::number(pages)});
            QCOMPARE(f.exitCode, 0);
            QCOMPARE(readFile(file).size(), 11 + pages * 268);
        }
    }

    // Every command once: its arguments, exit code, the last status line it
    // printed, the commands the module heard, the module's fault, and what
    // the result holds.
    void commands_data() {
        addRows(
            {"identify | identify | 0 | ID Request OK. | 10",
             "erase | erase | 0 | OK | 11",
             "wipe | wipe | 0 | OK - Wiped | 1a",
             "restore | restore | 0 | Restore OK. | 17",
             "reboot | reboot | 0 |  | 1b",
             "enter-bootloader | enter-bootloader --switch-baud | 0 |  | 3",
             "program, erase refused | program {one} | 1 | Erase Failed. | 10 11 | 17:1:refuse | 0 of 1 "
             "pages",
             "program for another module | program {other} | 6 | Firmware is not for this module | 10",
             "program anyway | program {other} --ignore-target-check | 0 | Program complete. | 10 11",
             "program a file cut short | program {cut} | 0 | Program complete. | 10 11 12 |  | 100 "
             "bytes of a partial record ignored",
             "program a file cut short, JSON | program {cut} --json | 0 | Program complete. | 10 11 12 "
             "|  | \"ignoredBytes\":100",
             "program a missing file | program {missing} | 3 | File Read: Error opening config file: No such "
             "file or directory | ",
             "capture | capture {new} --preset Solvane --max-serial 513 --pages 3 | 0 | Firmware upload "
             "completed successfully. | 10 14 14 14",
             "capture refused at once | capture {new} --pages 3 | 2 | No response. | 10 14 | 20:1:refuse",
             "damaged capture page, JSON | capture {new} --pages 3 --json | 2 | No response. 2 of 3 pages "
             "kept in {new}.fw.partial | 10 14 14 14 | 20:3:bad-checksum | \"file\":\"{new}.fw.partial\"",
             "write-serial | write-serial --block 0x5A,1,10,$34,0X12,0,0,7 | 0 | Write Serial OK. | 13",
             "log-serial | log-serial --db {db} --block 90,1,10,0,0,0,0,0 | 0 | OK | 10 13 10 |  | serial 1 "
             "logged",
             "log-serial and program | log-serial --db {db} --program {one} --block 90,1,10,0,0,0,0,0 | 0 | "
             "Program complete. | 10 13 10 11 12",
             "log-serial, already programmed | log-serial --db {db} --written | 6 | Aborted - Serial No. "
             "already programmed | 10",
             "log-serial starts an empty log at --next-serial | log-serial --db {db} --next-serial 500 | 0 | "
             "OK "
             "| 10 13 10",
             "log-serial, --next-serial given already | log-serial --db {damaged} --next-serial 41 | 6 | "
             "Error: "
             "Serial number 41 has been given already. Set the next serial number by clicking it. | ",
             "recover | recover 004711 | 0 | Write Serial OK. | 13",
             "recover from a log | recover 000041 --db {damaged} | 0 | Write Serial OK. | 13"});
    }
    void commands() {
        auto [arguments, exitCode, lastStatus, heard, fault, holds] = fields<6>();
        VirtualModule module;
        QVERIFY(module.start());
        makeBlank(module);
        if (arguments.contains("--written")) {
            module.identity.init = 0x5A;
            arguments.remove(" --written");
        }
        if (arguments.startsWith("enter-bootloader"))
            module.setInApplication(true);
        if (!fault.isEmpty())
            module.faults.plan(*parseFaultPlan(fault));
        QTemporaryDir folder;
        QVERIFY(writeFile(folder.filePath("other.fw"), QByteArray::fromHex("02010000050200003b0d0a")));
        // Its last record's serial number is damaged: the log gives no next one.
        QVERIFY(writeFile(folder.filePath("damaged.ser"), record("00041") + record("0004x")));
        QVERIFY(writeFile(folder.filePath("cut.fw"), readFile(OnePage) + readFile(OnePage).mid(11, 100)));
        const auto place = [&](QString text) {
            return text.replace("{one}", OnePage)
                .replace("{other}", folder.filePath("other.fw"))
                .replace("{missing}", folder.filePath("missing.fw"))
                .replace("{cut}", folder.filePath("cut.fw"))
                .replace("{new}", folder.filePath("new"))
                .replace("{db}", folder.filePath("log.ser"))
                .replace("{damaged}", folder.filePath("damaged.ser"));
        };
        LocalHttpServer server;
        server.respond("/Temp/004711_Fix.dat", 200, "5A0103C812000000;\r\n");
        QStringList args{"--port", module.devicePath(), "--recovery-url", server.baseUrl()};
        for (const QString& a : arguments.split(' '))
            args << place(a);
        const Finished f = run(args);
        QCOMPARE(f.exitCode, exitCode.toInt());
        // The result names the command, or the file it could not load or the log it could not open.
        QCOMPARE(arguments.contains("--json")
                     ? QJsonDocument::fromJson(f.out.toUtf8())["operation"].toString()
                     : f.out.section(' ', 0, 0),
                 arguments.contains("{missing}")                     ? "load"
                 : arguments.startsWith("log-serial --db {damaged}") ? "open-db"
                                                                     : arguments.section(' ', 0, 0));
        QCOMPARE(lastStatus.isEmpty() ? QString() : f.err.value(f.err.size() - 1), place(lastStatus));
        QCOMPARE(codesHeard(module), heard);
        QVERIFY2(f.out.contains(place(holds)), qPrintable(f.out));
        if (arguments.startsWith("capture")) { // a result names no file that is not there
            const QRegularExpression named(QRegularExpression::escape(folder.path()) + "/[^,)\"\\s]+");
            for (const QRegularExpressionMatch& file : named.globalMatch(f.out))
                QVERIFY2(QFile::exists(file.captured()), qPrintable(f.out));
        }
        if (arguments.startsWith("recover")) // the block the server or the log gave, not the one set before
            QCOMPARE(module.identity.idBlock(),
                     (arguments.contains("--db") ? ModuleIdBlock{0x5A, 1, 0x0A, 0x34, 0x12, 0x11, 0x22, 0x33}
                                                 : ModuleIdBlock{0x5A, 1, 3, 0xC8, 0x12, 0, 0, 0}));
        if (arguments.contains("--preset")) // system, ID, serial 513, the module's version, mask
            QCOMPARE(readFile(folder.filePath("new.fw")).left(7).toHex(), "010a0102070222");
        if (arguments.contains("--next-serial 500"))
            QCOMPARE(join(module.identity.serial, readFile(folder.filePath("log.ser")).left(6)),
                     "500 | 00500,");
    }

    // The port map as a user sets it: every number with its device and
    // whether it opens; none of the machine's own ports is touched.
    void portsListsTheMap() {
        VirtualModule module;
        QVERIFY(module.start());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (int port = 1; port <= 18; ++port)
            environment.insert(QStringLiteral("MERLAX_COM%1").arg(port),
                               port == 3 ? module.devicePath()
                                         : QStringLiteral("/nonexistent/com%1").arg(port));
        const Finished f = run({"ports"}, environment);
        const QStringList lines = f.out.trimmed().split('\n');
        QCOMPARE(join(f.exitCode, lines.size(), lines[2].simplified(), lines[9].simplified()),
                 join(0, 18, "COM3 " + module.devicePath() + " opens", "COM10 /nonexistent/com10 -"));
    }

    // --json: one object per result, with what the result holds.
    void jsonResults() {
        VirtualModule module;
        QVERIFY(module.start());
        module.identity = sampleIdentity();
        makeBlank(module);
        const QString db = Folder.filePath("json.ser");
        const Finished f = run({"--port", module.devicePath(), "--json", "log-serial", "--db", db, "--memo",
                                "bench 4", "--block", "90,1,10,0,0,0,0,0"});
        QCOMPARE(f.exitCode, 0);
        const QJsonObject o = QJsonDocument::fromJson(f.out.toUtf8()).object();
        QCOMPARE(join(o["operation"].toString(), o["outcome"].toString(), o["exitCode"].toInt(),
                      o["status"].toString(), o["serial"].toInt(), o["file"].toString(),
                      o["port"].toString()),
                 join("log-serial", "succeeded", 0, "OK", 1, db, module.devicePath()));
        QCOMPARE(o["serialState"].toString(), "logged");
        QCOMPARE(o["record"].toString().toLatin1(), readFile(db));
        const QJsonObject id = o["identity"].toObject();
        QCOMPARE(join(id["system"].toString(), id["subsystem"].toString(), id["serialNo"].toInt(),
                      id["printedSerial"].toString(), id["lastError"].toString(),
                      id["appVersion"].toString()),
                 join("Solvane", "PWM (FF)", 1, "010A-0001:000000", "InvParam", "2:07"));
        QVERIFY(QDateTime::fromString(o["started"].toString(), Qt::ISODateWithMs).isValid());
        QVERIFY_BETWEEN(o["elapsedMs"].toInteger(-1), 0, 20000);
        QVERIFY(!o.contains("unit")); // units belong to a station
        // A port that will not open is the command's result, printed like any other.
        const Finished lost = run({"--port", "/nonexistent/tty", "--json", "identify"});
        const QJsonObject p = QJsonDocument::fromJson(lost.out.toUtf8()).object();
        QCOMPARE(join(lost.exitCode, p["operation"].toString(), p["outcome"].toString(),
                      p["exitCode"].toInt(), p["port"].toString(), p["critical"].toString().left(49)),
                 join(5, "identify", "port-error", 5, "/nonexistent/tty",
                      "Comms Port: Error opening comms port "
                      "/nonexistent"));
    }

    // Usage errors name what is wrong and send nothing. Options may follow the command.
    void usageErrors_data() {
        addRows(
            {"no command |  | 4 | A subcommand is required",
             "port number out of range | --port 19 identify | 4 | a port number must be 1..18",
             "pages out of range | capture x.fw --pages 257 | 4 | '257' is outside 1..256",
             "header too short | capture x.fw --header 1,2,3 | 4 | is not six values 0..255",
             "header and preset | capture x.fw --header 1,2,3,4,5,6 --preset SysC | 4 | excludes",
             "no such preset | capture x.fw --preset Nope | 4 | no such preset",
             "byte too large | write-serial --block 1,2,3,4,5,6,7,256 | 4 | is not eight values 0..255",
             "nine values | write-serial --block 1,2,3,4,5,6,7,8,9 | 4 | is not eight values 0..255",
             "a hex digit past F | write-serial --block $1G,2,3,4,5,6,7,8 | 4 | is not eight values 0..255",
             "next serial 0 | log-serial --db x.ser --next-serial 0 | 4 | '0' is outside 1..65535",
             "unknown option | identify --fast | 4 | The following argument was not expected: --fast",
             "help | --help | 0 | ",
             "help on the extension | capture --help | 0 | is added only when the whole path holds no \".\"",
             "no such port | identify --port /nonexistent/tty | 5 | Comms Port: Error opening comms port"});
    }
    void usageErrors() {
        const auto [arguments, exitCode, message] = fields<3>();
        const Finished f = run(arguments.split(' ', Qt::SkipEmptyParts));
        QCOMPARE(f.exitCode, exitCode.toInt());
        QVERIFY2((f.err.join('\n') + f.out).contains(message), qPrintable(f.err.join('\n') + f.out));
        if (arguments == "--help")
            QVERIFY(f.out.contains("130  interrupted") && f.out.contains("log-serial"));
    }

    // Ctrl-C in the middle of a long run ends it at the next step: exit 130,
    // a line that says where, and whole files only.
    void interrupted_data() { addRows({"programming 256 pages | program", "capturing 256 pages | capture"}); }
    void interrupted() {
        const QString command = fields<1>()[0];
        VirtualModule module;
        QVERIFY(module.start());
        module.faults.lineRate = true; // 256 pages take about 6 s
        module.model().setMemory(randomMemory(9));
        const QString file = Folder.filePath("interrupted.fw");
        QVERIFY(writeFile(file, "the file before"));
        Cli cli(command == "program" ? QStringList{"--port", module.devicePath(), "program", AllPages}
                                     : QStringList{"--port", module.devicePath(), "capture", file, "--header",
                                                   "1,10,0,0,0,0", "--pages", "256"});
        QSignalSpy heard(&module, &VirtualModule::frameHeard);
        while (heard.size() < 20)
            QVERIFY(heard.wait(5000));
        ::kill(static_cast<pid_t>(cli.process.processId()), SIGINT);
        const Finished f = cli.finish();
        QCOMPARE(f.exitCode, 130);
        QVERIFY2(f.err.last().startsWith("Interrupted: " + command + " stopped at its next step ("),
                 qPrintable(f.err.last()));
        const qsizetype sent = heard.size();
        QVERIFY(sent >= 20 && sent < 200);
        if (command == "capture") {
            QCOMPARE(readFile(file), "the file before");
            const QByteArray partial = readFile(file + ".partial");
            // The identity read, then a page a frame: the one in flight is kept too.
            QCOMPARE(partial.size(), 11 + (sent - 1) * 268);
            QVERIFY(
                f.err.contains(QStringLiteral("%1 of 256 pages kept in %2.partial").arg(sent - 1).arg(file)));
        }
    }

    // A station: three modules inserted one after the other; one result
    // each, then a summary, however the station ends: Ctrl-C, or its port
    // lost (a pulled adapter). Which unit refuses its serial number (0: none).
    void stationLoop_data() {
        addRows({"a refused unit, then Ctrl-C | 2 | 1 succeeded, 2 refused, 3 succeeded | 3 2 1 | 1 | 200",
                 "the port lost | 0 | 1 succeeded, 2 succeeded, 3 succeeded | 3 3 0 | 5 | 300"});
    }
    void stationLoop() {
        const auto [refusing, results, summed, exitCode, logged] = fields<5>();
        const int refusingUnit = refusing.toInt();
        VirtualModule module;
        QVERIFY(module.start());
        makeBlank(module);
        const QString db = Folder.filePath(QStringLiteral("station%1.ser").arg(refusing));
        Cli cli({"--port", module.devicePath(), "--json", "log-serial", "--db", db, "--repeat", "--block",
                 "90,1,10,0,0,0,0,0"});
        QStringList seen;
        for (const QJsonObject& unit : stationUnits(cli, module, 3, [&](int n) {
                 if (n + 1 == refusingUnit)
                     module.faults.plan(19, 2, {PlannedFault::Kind::Refuse, 0}); // its second write
             }))
            seen << QStringLiteral("%1 %2").arg(unit["unit"].toInt()).arg(unit["outcome"].toString());
        if (refusing == "0")
            module.pullCable();
        else
            ::kill(static_cast<pid_t>(cli.process.processId()), SIGINT);
        const Finished f = cli.finish();
        QCOMPARE(seen.join(", "), results);
        const QJsonDocument summary = QJsonDocument::fromJson(f.out.trimmed().split('\n').last().toUtf8());
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(summary["units"].toInt())
                     .arg(summary["succeeded"].toInt())
                     .arg(summary["failed"].toInt()),
                 summed);
        QCOMPARE(join(f.exitCode, readFile(db).size()), join(exitCode.toInt(), logged.toInt()));
    }

    // A log held by the windows stays theirs: a station waits for it without
    // spending CPU, then says it is in use, and writes nothing to the module.
    void windowKeepsItsLog() {
        VirtualModule module;
        QVERIFY(module.start());
        makeBlank(module);
        const QString db = Folder.filePath("held.ser");
        SerialDatabase window;
        QVERIFY(!window.open(db).failed);
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuMilliseconds(RUSAGE_CHILDREN);
        const Finished f =
            run({"--port", module.devicePath(), "log-serial", "--db", db, "--lock-timeout", "1"});
        QVERIFY_BETWEEN(clock.elapsed(), 1000, 5000);
        QVERIFY(cpuMilliseconds(RUSAGE_CHILDREN) - cpuBefore < 500); // spinning for the lock would take ~1000
        QCOMPARE(f.exitCode, 3);
        QCOMPARE(f.err.last(),
                 "File Open: Error reading Serial Number Database file: the file is in use by another "
                 "program");
        QCOMPARE(codesHeard(module), QString());
        // Ctrl-C while it waits ends the run at once, with nothing written.
        Cli waiting({"--port", module.devicePath(), "log-serial", "--db", db, "--lock-timeout", "60"});
        QTRY_VERIFY(holdsOpen(waiting.process.processId(), db)); // and waits for its lock
        clock.restart();
        ::kill(static_cast<pid_t>(waiting.process.processId()), SIGINT);
        const Finished interrupted = waiting.finish();
        QVERIFY_BETWEEN(clock.elapsed(), 0, 1000);
        QCOMPARE(join(interrupted.exitCode, interrupted.err.value(interrupted.err.size() - 1)),
                 join(130, "Interrupted: log-serial stopped while waiting for " + db + "."));
        QCOMPARE(join(codesHeard(module), readFile(db).size(), QFile::exists(db + ".ledger")),
                 " | 0 | false");
    }

    // The station stopped the moment its module acknowledged the written
    // block. Killed outright: the number is spent all the same. Ctrl-C: the
    // serial step ends whole and the unit is logged; with no step left to
    // stop, the run ends as it went. Either way the next unit, from another
    // process, gets the number after it. The signal, the exit code, the log's
    // size and whether `ledger` lists serial 1 as reserved afterwards.
    void stoppedAfterTheWrite_data() { addRows({"killed | 9 | -1 | 0 | 1", "Ctrl-C | 2 | 0 | 100 | 0"}); }
    void stoppedAfterTheWrite() {
        const auto [signal, exitCode, logSize, reserved] = fields<4>();
        const int signalNumber = signal.toInt();
        const QString db = Folder.filePath(QStringLiteral("stopped%1.ser").arg(signal));
        VirtualModule first, second;
        for (VirtualModule* module : {&first, &second}) {
            QVERIFY(module->start());
            makeBlank(*module);
        }
        Cli station({"--port", first.devicePath(), "log-serial", "--db", db, "--block", "90,1,10,0,0,0,0,0"});
        QByteArray lastHeard;
        connect(&first, &VirtualModule::frameHeard, this,
                [&](const QByteArray& frame) { lastHeard = frame; });
        connect(&first, &VirtualModule::replySent, this, [&](const QByteArray& reply) {
            if (lastHeard.at(1) == 0x13 && reply == QByteArray::fromHex("5a5b"))
                ::kill(static_cast<pid_t>(station.process.processId()), signalNumber);
        });
        const int stoppedWith = station.finish().exitCode;
        const QString listed = run({"ledger", "--db", db}).out;
        QCOMPARE(
            join(stoppedWith, first.identity.serial, readFile(db).size(), listed.count("reserved 00001 ")),
            join(exitCode.toInt(), 1, logSize.toInt(), reserved.toInt()));
        const Finished next = run({"--port", second.devicePath(), "log-serial", "--db", db});
        QCOMPARE(join(next.exitCode, second.identity.serial, readFile(db).right(100).left(6)),
                 "0 | 2 | 00002,");
    }

    // A log renamed and replaced while a station holds it takes no record
    // meant for the file of that name: the unit is refused, naming the file.
    void logReplacedUnderAStation() {
        VirtualModule module;
        QVERIFY(module.start());
        makeBlank(module);
        const QString db = Folder.filePath("replaced.ser");
        Cli cli({"--port", module.devicePath(), "--json", "log-serial", "--db", db, "--repeat", "--block",
                 "90,1,10,0,0,0,0,0"});
        QStringList results;
        for (const QJsonObject& unit : stationUnits(cli, module, 2, [&](int n) {
                 if (n == 1)
                     QVERIFY(QFile::rename(db, db + ".old") && writeFile(db, readFile(db + ".old")));
             }))
            results << unit["outcome"].toString() + " " + unit["critical"].toString();
        ::kill(static_cast<pid_t>(cli.process.processId()), SIGINT);
        cli.finish();
        QCOMPARE(results,
                 (QStringList{"succeeded ", "file-error File Open: Error reading Serial Number Database "
                                            "file: " +
                                                db +
                                                " was renamed or replaced while it was open; "
                                                "choose it again"}));
        QCOMPARE(join(readFile(db).size(), readFile(db + ".old").size()), "100 | 100");
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_Cli.moc"

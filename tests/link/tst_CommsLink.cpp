#include "LineSettings.h"
#include "ModuleRig.h"

namespace {
// An identity request through the one transaction.
Outcome requestIdentity(ModuleRig& rig) {
    return rig.link().transact(Message({16}), 2, ReplyKind::Identity);
}

// The ports the last scans found, the first of them and how many they found.
QString found(CommsLink& link) {
    QStringList ports;
    for (int port = 1; port <= 18; ++port)
        if (link.scan().portAvailable(port))
            ports << QString::number(port);
    return join(ports.join(' '), link.scan().firstAvailablePort(), link.scan().numPortsAvailable());
}
} // namespace

class TestCommsLink : public QObject {
    Q_OBJECT
private slots:
    // The devices of the ports: the platform's, the override a test rig sets
    // in the environment, and a program's own assignment before both.
    void portMap() {
        PortMap map;
        QStringList devices;
        for (const int port : {0, 1, 4, 5, 9, 10, 18, 19})
            devices << map.deviceForPort(port);
        QCOMPARE(devices.join(' '),
                 " /dev/ttyS0 /dev/ttyS3 /dev/ttyACM0 /dev/ttyACM4 /dev/ttyUSB0 /dev/ttyUSB8 ");
        qputenv("MERLAX_COM18", "/dev/serial/by-id/usb-test");
        const QString overridden = map.deviceForPort(18);
        map.assign(18, QStringLiteral("/dev/pts/7"));
        QCOMPARE(join(overridden, map.deviceForPort(18)), "/dev/serial/by-id/usb-test | /dev/pts/7");
        qunsetenv("MERLAX_COM18");
    }

    // COM10 opens at the bootloader's speed, and a device given by its path
    // as well; one that cannot be opened is named in a message and leaves no
    // port open, and a command then sends nothing and ends, for want of a port.
    void openingPorts() {
        VirtualModule other;
        QVERIFY(other.start());
        ModuleRig rig;
        QVERIFY(rig.reporter.criticals.isEmpty() && rig.link().portOK());
        QCOMPARE(join(rig.link().selectedPort(), rig.link().settings(), rig.module.lineBaud()),
                 "10 | 115200,N,8,1 | 115200");
        QVERIFY(rig.link().openDevice(other.devicePath()));
        QCOMPARE(
            join(rig.link().device(), rig.link().selectedPort(), requestIdentity(rig) == Outcome::Succeeded),
            join(other.devicePath(), 0, true));
        QCOMPARE(join(other.heardFrames().size(), rig.module.heardFrames().size()), "1 | 0");
        rig.link().SelectCommsPort(5);
        QVERIFY(!rig.link().openDevice(QStringLiteral("/nonexistent/ttyX")));
        QCOMPARE(rig.reporter.criticals.size(), 2);
        QVERIFY2(rig.reporter.criticals[0].startsWith("Comms Port: Error opening comms port 5 : ") &&
                     rig.reporter.criticals[0].size() > 41, // and why
                 qPrintable(rig.reporter.criticals[0]));
        QVERIFY(rig.reporter.criticals[1].startsWith(
            "Comms Port: Error opening comms port /nonexistent/ttyX : "));
        QCOMPARE(join(rig.link().portOK(), rig.link().portOpen(), rig.link().selectedPort()),
                 "false | false | 0");
        QVERIFY_BETWEEN(msToRun([&] { QCOMPARE(requestIdentity(rig), Outcome::PortError); }), 230, 1000);
        QCOMPARE(other.heardFrames().size(), 1);
    }

    // Bytes that arrived while the port was closed, or while nothing was
    // awaited, do not answer the next command.
    void staleInput() {
        ModuleRig rig;
        rig.module.faults.unanswered = {16, 17};
        rig.link().SelectCommsPort(6);                   // close COM10
        rig.module.sendRaw(QByteArray::fromHex("5a5b")); // an acknowledgement nobody asked for
        rig.link().SelectCommsPort(10);
        QVERIFY(rig.link().portOK());
        QCOMPARE(requestIdentity(rig), Outcome::NoResponse);
        rig.module.sendRaw(QByteArray::fromHex("5a5b")); // a late acknowledgement
        QThread::msleep(50); // the tool is busy elsewhere while it arrives: it waits unread
        QCOMPARE(rig.link().transact(Message({17}), 2, ReplyKind::Acknowledgement), Outcome::NoResponse);
        QCOMPARE(rig.heard(), (QStringList{"5a 10 10", "5a 11 11"}));
    }

    // A frame the driver could not take whole reaches the module whole, and
    // before the next one, however the driver's buffer drains meanwhile.
    void framesStayInOrder() {
        ModuleRig rig;
        rig.module.holdInput(true); // until the driver's buffer is full
        for (int page = 0; page < 400; ++page)
            rig.link().post(Message({18}), 266, ReplyKind::Acknowledgement);
        rig.module.holdInput(false); // reads all the driver holds, at once
        rig.link().post(Message({16}), 2, ReplyKind::Identity);
        QTRY_COMPARE(rig.heard().value(400), "5a 10 10");
    }

    // A reply may pause inside its frame for less than 200 ms, not more.
    void gapsInsideAReply_data() { addRows({"150 ms | 150 | received", "250 ms | 250 | lost"}); }
    void gapsInsideAReply() {
        const auto [pauseMs, outcome] = fields<2>();
        LinkTimings timings = fastTimings();
        timings.replyTimeoutMs = 700;
        ModuleRig rig(timings);
        rig.module.faults.pauseMs = pauseMs.toInt();
        QCOMPARE(requestIdentity(rig) == Outcome::Succeeded ? "received" : "lost", outcome);
    }

    void scans() {
        VirtualModule com3, com7;
        QVERIFY(com3.start() && com7.start());
        ModuleRig rig; // COM10 is the rig's module
        PortMap& ports = rig.link().ports();
        ports.assign(1, com3.devicePath()); // the first port number
        ports.assign(7, com7.devicePath());
        ports.assign(10, QStringLiteral("/nonexistent/merlax-gone"));
        rig.reporter.changes.clear();
        rig.link().ScanCommsPorts();
        QCOMPARE(rig.reporter.changes,
                 (QList<Change>{Change::ScanStarted, Change::PortSelected, Change::ScanFinished}));
        QCOMPARE(found(rig.link()), "1 7 | 1 | 2");
        // COM10 was open and has gone: selected again, it leads to the first port found.
        QCOMPARE(rig.link().selectedPort(), 1);

        // A scan while COM1 is open closes it, finds it, and opens it again;
        // every scan adds to the count what it found.
        rig.link().ScanCommsPorts();
        QCOMPARE(found(rig.link()), "1 7 | 1 | 4");
        QCOMPARE(requestIdentity(rig), Outcome::Succeeded);
        QCOMPARE(com3.heardFrames().size(), 1);

        // A scan that finds nothing: the earlier scan still counts, but there
        // is nothing to lead to, so the requested port is tried as it is.
        for (int port : {1, 7})
            ports.assign(port, QStringLiteral("/nonexistent/merlax-gone"));
        rig.link().ScanCommsPorts();
        QCOMPARE(found(rig.link()), " | 18 | 4");
        rig.reporter.criticals.clear();
        rig.link().SelectCommsPort(4);
        QCOMPARE(rig.reporter.criticals.value(0).left(41), "Comms Port: Error opening comms port 4 : ");
    }

    // A lost line: the module's side goes away while a command waits, or
    // before it is written (a hang-up is the fault matrix's). The wait ends
    // within the time given without spinning, a write error at once; it is
    // said once, when the port's own handling has returned, and the port
    // closes. A later command sends nothing and ends by its time-out.
    void lostLine_data() {
        addRows(
            {"pulled while waiting | 1000 | reading from | . The device may have been disconnected. Please "
             "reselect comms port",
             "pulled before the write | 100 | writing to | . Please reselect comms port"});
    }
    void lostLine() {
        const auto [maxMs, verb, ending] = fields<3>();
        const bool beforeTheWrite = QByteArray(QTest::currentDataTag()) == "pulled before the write";
        ModuleRig rig;
        rig.module.faults.unanswered.insert(16);
        if (beforeTheWrite)
            rig.module.pullCable(); // no event runs before the write meets the dead line
        else
            QTimer::singleShot(50, &rig.module, [&] { rig.module.pullCable(); });
        const double cpuBefore = cpuMilliseconds();
        const qint64 elapsed = msToRun([&] {
            if (!beforeTheWrite)
                return void(requestIdentity(rig));
            // Awaits nothing, so nothing reads first: the driver fails the write at once.
            rig.maintenance().RestartIntoBootloader(false);
        });
        QVERIFY2(cpuMilliseconds() - cpuBefore < 0.3 * static_cast<double>(elapsed) + 20, "the wait spun");
        QVERIFY_BETWEEN(elapsed, 0, maxMs.toInt());
        QVERIFY(!rig.exchange().GetMessageInProgress());
        QVERIFY(rig.exchange().lastOutcome() == Outcome::PortError || beforeTheWrite);
        QVERIFY(rig.reporter.criticals.isEmpty() || !beforeTheWrite);
        QTRY_COMPARE(rig.reporter.criticals.size(), 1);
        const QString& message = rig.reporter.criticals[0];
        QVERIFY2(message.startsWith("Comms Port: Error " + verb + " comms port: ") &&
                     message.endsWith(ending),
                 qPrintable(message));
        QVERIFY(!rig.link().portOK());
        QTRY_VERIFY(!rig.link().portOpen());
        QCOMPARE(requestIdentity(rig), Outcome::PortError);
        QCOMPARE(join(rig.reporter.criticals.size(), rig.heard().size()), beforeTheWrite ? "1 | 0" : "1 | 1");
    }
};

QTEST_GUILESS_MAIN(TestCommsLink)
#include "tst_CommsLink.moc"

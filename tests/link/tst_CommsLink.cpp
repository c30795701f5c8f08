#include "LineSettings.h"
#include "ModuleRig.h"
#include "PortMap.h"

#include <QtTest>

namespace {
// An identity request through the one transaction.
CommandOutcome requestIdentity(ModuleRig& rig) {
    return rig.link().Transact(Message({16}), 2, ReplyKind::Identity);
}

bool waitForFrame(VirtualModule& module, int timeoutMs = 2000) {
    QSignalSpy heard(&module, &VirtualModule::frameHeard);
    return heard.wait(timeoutMs);
}
} // namespace

class TestCommsLink : public QObject {
    Q_OBJECT
private slots:
    void portMap() {
        const std::pair<int, const char*> defaults[] = {{1, "/dev/ttyS0"},
                                                        {4, "/dev/ttyS3"},
                                                        {5, "/dev/ttyACM0"},
                                                        {9, "/dev/ttyACM4"},
                                                        {10, "/dev/ttyUSB0"},
                                                        {18, "/dev/ttyUSB8"},
                                                        {0, ""},
                                                        {19, ""}};
        for (const auto& [port, device] : defaults) {
            qunsetenv(PortMap::OverrideVariable(port).toLatin1().constData());
            QCOMPARE(PortMap::DeviceForPort(port), QString::fromLatin1(device));
            MapPort(port, QStringLiteral("/dev/serial/by-id/usb-test"));
            QCOMPARE(PortMap::DeviceForPort(port),
                     *device ? QStringLiteral("/dev/serial/by-id/usb-test") : QString());
        }
    }

    void loadOpensCom10AtBootloaderSpeed() {
        ModuleRig rig;
        QVERIFY(rig.reporter.criticals.isEmpty());
        QVERIFY(rig.link().portOK());
        QCOMPARE(rig.link().selectedPort(), 10);
        QCOMPARE(rig.link().settings(), QStringLiteral("115200,N,8,1"));
        QCOMPARE(rig.module.lineBaud(), 115200);
    }

    void openErrorNamesThePort() {
        ModuleRig rig;
        rig.link().SelectCommsPort(5);
        QCOMPARE(rig.reporter.criticals.size(), 1);
        QCOMPARE(rig.reporter.criticals[0].title, QStringLiteral("Comms Port"));
        QVERIFY2(rig.reporter.criticals[0].text.startsWith(QStringLiteral("Error opening comms port 5 : ")),
                 qPrintable(rig.reporter.criticals[0].text));
        QVERIFY(rig.reporter.criticals[0].text.size() >
                QStringLiteral("Error opening comms port 5 : ").size());
        QVERIFY(!rig.link().portOK());
        QVERIFY(!rig.link().portOpen());
        QCOMPARE(rig.link().selectedPort(), 10);
    }

    void noPortOpenEndsAsNotAnswered() {
        ModuleRig rig;
        rig.link().SelectCommsPort(6); // missing: no port is open now
        QVERIFY(!rig.link().portOK());
        QElapsedTimer clock;
        clock.start();
        requestIdentity(rig);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(rig.exchange().GetMessageTimedOut());
        QVERIFY2(elapsed >= 230 && elapsed < 1000, qPrintable(QString::number(elapsed)));
        QVERIFY(rig.module.heardFrames().isEmpty());
    }

    void staleInputIsDiscardedOnOpen() {
        ModuleRig rig;
        rig.module.faults.unanswered.insert(16);
        rig.link().SelectCommsPort(6);                   // close COM10
        rig.module.sendRaw(QByteArray::fromHex("5a5b")); // an acknowledgement nobody asked for
        rig.link().SelectCommsPort(10);
        QVERIFY(rig.link().portOK());
        requestIdentity(rig);
        QVERIFY(rig.exchange().GetMessageTimedOut()); // not completed by the stale acknowledgement
    }

    // A reply may pause inside its frame for less than 200 ms, not more.
    void gapsInsideAReply_data() {
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<bool>("received");
        QTest::newRow("150 ms") << 150 << true;
        QTest::newRow("250 ms") << 250 << false;
    }
    void gapsInsideAReply() {
        QFETCH(int, pauseMs);
        QFETCH(bool, received);
        LinkTimings timings = FastTimings();
        timings.replyTimeoutMs = 700;
        ModuleRig rig(timings);
        rig.module.faults.pauseMs = pauseMs;
        QCOMPARE(requestIdentity(rig), received ? CommandOutcome::Succeeded : CommandOutcome::NoResponse);
    }

    // Bytes that arrived while nothing was awaited do not answer the next command.
    void staleBytesBeforeACommand() {
        ModuleRig rig;
        rig.module.faults.unanswered.insert(17);
        rig.module.sendRaw(QByteArray::fromHex("5a5b")); // a late acknowledgement
        // The tool is busy elsewhere while it arrives: it waits unread.
        QThread::msleep(50);
        QCOMPARE(rig.link().Transact(Message({17}), 2, ReplyKind::Acknowledgement),
                 CommandOutcome::NoResponse);
        QCOMPARE(rig.heard(), QStringList{"5a 11 11"});
    }

    void scanShowsWhatCanBeOpened() {
        VirtualModule com3;
        VirtualModule com7;
        QVERIFY(com3.start());
        QVERIFY(com7.start());
        ModuleRig rig; // COM10 is the rig's module
        MapPort(3, com3.devicePath());
        MapPort(7, com7.devicePath());
        MapPort(10, QStringLiteral("/nonexistent/merlax-gone"));
        QSignalSpy started(&rig.link(), &CommsLink::scanStarted);
        QSignalSpy finished(&rig.link(), &CommsLink::scanFinished);

        rig.link().ScanCommsPorts();
        QCOMPARE(started.size(), 1);
        QCOMPARE(finished.size(), 1);
        for (int port = 1; port <= 18; ++port)
            QCOMPARE(rig.link().portAvailable(port), port == 3 || port == 7);
        QCOMPARE(rig.link().firstAvailablePort(), 3);
        QCOMPARE(rig.link().numPortsAvailable(), 2);

        // A port the scan did not find leads to the first one it did.
        QSignalSpy button(&rig.link(), &CommsLink::selectedButtonChanged);
        rig.link().SelectCommsPort(5);
        QCOMPARE(button.size(), 1);
        QCOMPARE(button.at(0).at(0).toInt(), 2);
        QCOMPARE(rig.link().selectedPort(), 3);
        QVERIFY(rig.link().portOK());

        // A scan while COM3 is open closes it, finds it, and opens it again.
        rig.link().ScanCommsPorts();
        QVERIFY(rig.link().portAvailable(3));
        QVERIFY(rig.link().portOK());
        QCOMPARE(rig.link().selectedPort(), 3);
        QCOMPARE(rig.link().numPortsAvailable(), 4); // every scan adds what it found
        requestIdentity(rig);
        QVERIFY(rig.exchange().GetMessageSuccessful());
        QCOMPARE(com3.heardFrames().size(), 1);
    }

    void scanFindingNothing() {
        VirtualModule com2;
        QVERIFY(com2.start());
        ModuleRig rig;
        MapPort(2, com2.devicePath());
        rig.link().ScanCommsPorts();
        QCOMPARE(rig.link().firstAvailablePort(), 2);
        UnmapAllPorts();
        rig.link().ScanCommsPorts();
        for (int port = 1; port <= 18; ++port)
            QVERIFY(!rig.link().portAvailable(port));
        QCOMPARE(rig.link().firstAvailablePort(), 18);
        // The earlier scan still counts, but there is nothing to lead to: the
        // requested port is tried as it is.
        rig.reporter.criticals.clear();
        rig.link().SelectCommsPort(4);
        QCOMPARE(rig.reporter.criticals.size(), 1);
        QVERIFY(rig.reporter.criticals[0].text.startsWith(QStringLiteral("Error opening comms port 4 : ")));
    }

    void applicationSpeedForOneFrameThenBack() {
        ModuleRig rig(LinkTimings{}); // the real 300 ms reset delay
        rig.module.setInApplication(true);
        QSignalSpy settings(&rig.link(), &CommsLink::settingsChanged);
        rig.link().Set3840000Baud();
        QCOMPARE(rig.module.lineBaud(), 38400);
        rig.link().SendMessage(Message({3, 254}), 3);
        rig.link().StartResetBaudRateTmr();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waitForFrame(rig.module));
        QCOMPARE(rig.module.heardFrames()[0].bytes.toHex(' '), QByteArray("5a 03 fe 01"));
        QCOMPARE(rig.module.heardFrames()[0].baud, 38400);
        QVERIFY(!rig.module.inApplication()); // the application heard it and restarted
        QCOMPARE(rig.module.lineBaud(), 38400);

        QSignalSpy reset(&rig.link().ResetBaudRateTmr, &QTimer::timeout);
        QVERIFY(reset.wait(2000));
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 290 && elapsed < 900, qPrintable(QString::number(elapsed)));
        QCOMPARE(rig.module.lineBaud(), 115200);
        QCOMPARE(rig.link().settings(), LineSettings::kBootloader);
        QCOMPARE(settings.size(), 2);
    }

    // A pulled USB adapter: the kernel hangs the tty up under the open port.
    void hangUpWhileWaiting() {
        if (!CanHangUpLines())
            QSKIP("hanging up a line needs CAP_SYS_ADMIN");
        ModuleRig rig;
        rig.module.faults.unanswered.insert(16);
        QTimer::singleShot(100, &rig.module, [&] { QVERIFY(rig.module.hangUp()); });
        const double cpuBefore = CpuMilliseconds();
        QElapsedTimer clock;
        clock.start();
        requestIdentity(rig);
        const qint64 elapsed = clock.elapsed();
        const double cpu = CpuMilliseconds() - cpuBefore;
        qInfo("wait of %lld ms used %.1f ms of CPU", elapsed, cpu);

        QVERIFY(rig.exchange().GetMessageTimedOut());
        QVERIFY(elapsed < 3000);
        QVERIFY2(cpu < 0.3 * static_cast<double>(elapsed), "the wait spun");
        QTRY_COMPARE(rig.reporter.criticals.size(), 1);
        QCOMPARE(rig.reporter.criticals[0].title, QStringLiteral("Comms Port"));
        QVERIFY(rig.reporter.criticals[0].text.startsWith(QStringLiteral("Error reading from comms port: ")));
        QVERIFY(rig.reporter.criticals[0].text.endsWith(
            QStringLiteral(". The device may have been disconnected. Please reselect comms port")));
        QVERIFY(!rig.link().portOK());
        QVERIFY(!rig.link().portOpen());

        // Selecting the port again brings the link back.
        rig.module.faults.unanswered.clear();
        rig.link().SelectCommsPort(10);
        QVERIFY(rig.link().portOK());
        requestIdentity(rig);
        QVERIFY(rig.exchange().GetMessageSuccessful());
        QCOMPARE(rig.reporter.criticals.size(), 1);
    }

    // The same without privileges: the module's side of the line goes away.
    void pulledCableWhileWaiting() {
        const QString message = "Error reading from comms port: ";
        ModuleRig rig;
        rig.module.faults.unanswered.insert(16);
        QTimer::singleShot(50, &rig.module, [&] { rig.module.pullCable(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(requestIdentity(rig), CommandOutcome::NoResponse);
        QVERIFY(clock.elapsed() < 1000);
        QTRY_COMPARE(rig.reporter.criticals.size(), 1);
        QCOMPARE(rig.reporter.criticals[0].title, QStringLiteral("Comms Port"));
        QVERIFY2(rig.reporter.criticals[0].text.startsWith(message),
                 qPrintable(rig.reporter.criticals[0].text));
        QVERIFY(!rig.link().portOK());
        QTRY_VERIFY(!rig.link().portOpen());
        QCOMPARE(requestIdentity(rig), CommandOutcome::NoResponse); // nothing more is said
        QCOMPARE(rig.reporter.criticals.size(), 1);
    }

    void writeErrorCompletesAtOnce() {
        ModuleRig rig;
        rig.module.pullCable(); // no event runs before the write meets the dead line
        rig.exchange().SetMessageInProgress(ReplyKind::Acknowledgement);
        rig.link().SendMessage(Message({17}), 2);
        QVERIFY(!rig.exchange().GetMessageInProgress()); // at once, not by the time-out
        QVERIFY(rig.exchange().GetMessageTimedOut());
        // The message shows once the port's own handling has returned.
        QVERIFY(rig.reporter.criticals.isEmpty());
        QTRY_COMPARE(rig.reporter.criticals.size(), 1);
        QVERIFY2(rig.reporter.criticals[0].text.startsWith(QStringLiteral("Error writing to comms port: ")),
                 qPrintable(rig.reporter.criticals[0].text));
        QVERIFY(rig.reporter.criticals[0].text.endsWith(QStringLiteral(". Please reselect comms port")));
        QVERIFY(!rig.link().portOK());
        // Later commands send nothing and end by the time-out, with no new message.
        QTRY_VERIFY(!rig.link().portOpen());
        requestIdentity(rig);
        QVERIFY(rig.exchange().GetMessageTimedOut());
        QCOMPARE(rig.reporter.criticals.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCommsLink)
#include "tst_CommsLink.moc"

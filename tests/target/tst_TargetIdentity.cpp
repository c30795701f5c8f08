#include "ModuleRig.h"

#include <QtTest>

namespace {
RxMsg identityFrame(std::initializer_list<int> data) {
    RxMsg frame{};
    frame[0] = 32;
    size_t i = 1;
    for (int b : data)
        frame[i++] = static_cast<qint16>(b);
    return frame;
}

} // namespace

class TestTargetIdentity : public QObject {
    Q_OBJECT
private slots:
    void decodeEveryField() {
        const TargetIdentity id = DecodeIdentityReply(
            identityFrame({9,  0x5A, 1,  10, 0x34, 0x12, 0xA1, 0xA2, 0xA3, 5,  1,  7,  2,  30,
                           31, 32,   33, 40, 41,   42,   43,   44,   45,   46, 47, 48, 49, 2}));
        QCOMPARE(id.LastErrorCode, qint16(9));
        QCOMPARE(id.InitByte, qint16(0x5A));
        QCOMPARE(id.SystemID, qint16(1));
        QCOMPARE(id.SubsystemID, qint16(10));
        QCOMPARE(id.SerialLow, qint16(0x34));
        QCOMPARE(id.SerialHigh, qint16(0x12));
        QCOMPARE(id.SerialNo, 4660);
        QCOMPARE(id.IDByte1, qint16(0xA1));
        QCOMPARE(id.IDByte2, qint16(0xA2));
        QCOMPARE(id.IDByte3, qint16(0xA3));
        QCOMPARE(id.BLVersionMinor, qint16(5));
        QCOMPARE(id.BLVersionMajor, qint16(1));
        QCOMPARE(id.AppVersionMinor, qint16(7));
        QCOMPARE(id.AppVersionMajor, qint16(2));
        QCOMPARE(id.CpuID, (std::array<qint16, 4>{30, 31, 32, 33}));
        QCOMPARE(id.InfoBytes, (std::array<qint16, 11>{40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 2}));
        QCOMPARE(id.BLCapabilities, qint16(2));
        QCOMPARE(id.IDBlock(), (std::array<qint16, 8>{0x5A, 1, 10, 0x34, 0x12, 0xA1, 0xA2, 0xA3}));
    }

    void highestSerialNumber() {
        auto frame = identityFrame({});
        frame[5] = 0xFF;
        frame[6] = 0xFF;
        QCOMPARE(DecodeIdentityReply(frame).SerialNo, 65535);
    }

    void readEndToEnd() {
        ModuleRig rig;
        rig.module.identity = SampleIdentity();
        QSignalSpy updated(&rig.target(), &TargetSession::identityUpdated);
        QSignalSpy statusRead(&rig.target(), &TargetSession::targetStatusRead);
        // The command is completed before the reply is taken over.
        bool completedFirst = false;
        connect(&rig.target(), &TargetSession::identityUpdated, this,
                [&] { completedFirst = !rig.exchange().GetMessageInProgress(); });

        rig.target().RequestTargetID();

        QCOMPARE(rig.reporter.statuses, (QStringList{"Requesting Target ID", "ID Request OK."}));
        QVERIFY(rig.exchange().GetMessageSuccessful());
        QCOMPARE(updated.size(), 1);
        QCOMPARE(statusRead.size(), 1);
        QVERIFY(completedFirst);
        QVERIFY(rig.target().tgtStatusRead());
        QVERIFY(rig.link().GetCommsGood());
        const TargetIdentity& id = rig.target().identity();
        QCOMPARE(id.LastErrorCode, qint16(9)); // a module error is not a failed request
        QCOMPARE(id.IDBlock(), (std::array<qint16, 8>{0x5A, 1, 10, 0x34, 0x12, 0x11, 0x22, 0x33}));
        QCOMPARE(id.SerialNo, 4660);
        QCOMPARE((std::array{id.BLVersionMajor, id.BLVersionMinor, id.AppVersionMajor, id.AppVersionMinor}),
                 (std::array<qint16, 4>{1, 5, 2, 7}));
        QCOMPARE(id.CpuID, (std::array<qint16, 4>{30, 31, 32, 33}));
        QCOMPARE(id.InfoBytes,
                 (std::array<qint16, 11>{'A', 'B', 'C', '1', '2', '3', 0xC1, 0xC2, 0xC3, 0xC4, 3}));
        QCOMPARE(id.BLCapabilities, qint16(3));
        QCOMPARE(rig.target().GetTgtSystemID(), qint16(1));
        QVERIFY(!rig.target().GetEraseEachPage()); // even with the page-erase capability
    }

    // Outcomes of a request after a good one: the earlier identity stays.
    void failedRequestsKeepTheRecord_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("refused") << "refuse"
                                 << "ID Request Failed." << 0 << 1000;
        QTest::newRow("no reply") << "silent"
                                  << "No response." << 230 << 1000;
        QTest::newRow("wrong checksum") << "checksum"
                                        << "ID Request Failed." << 0 << 1000;
        QTest::newRow("300 ms gap inside the reply") << "gap"
                                                     << "No response." << 230 << 1000;
    }
    void failedRequestsKeepTheRecord() {
        QFETCH(QString, fault);
        QFETCH(QString, outcome);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        ModuleRig rig;
        rig.target().RequestTargetID();
        QVERIFY(rig.exchange().GetMessageSuccessful());
        const auto before = rig.target().identity().IDBlock();

        rig.module.identity.system = 8;
        rig.module.identity.serial = 1;
        if (fault == "refuse")
            rig.module.faults.refused.insert(16);
        else if (fault == "silent")
            rig.module.faults.unanswered.insert(16);
        else if (fault == "checksum")
            rig.module.faults.badChecksum = true;
        else if (fault == "gap")
            rig.module.faults.pauseMs = 300;
        rig.reporter.statuses.clear();
        QSignalSpy updated(&rig.target(), &TargetSession::identityUpdated);
        QElapsedTimer clock;
        clock.start();
        rig.target().RequestTargetID();
        const qint64 elapsed = clock.elapsed();

        QCOMPARE(rig.reporter.statuses, (QStringList{"Requesting Target ID", outcome}));
        QVERIFY(!rig.exchange().GetMessageSuccessful());
        QVERIFY2(elapsed >= minMs && elapsed < maxMs, qPrintable(QString::number(elapsed)));
        QCOMPARE(updated.size(), 0);
        QCOMPARE(rig.target().identity().IDBlock(), before);

        // The next whole reply is received as usual.
        rig.module.faults = {};
        rig.target().RequestTargetID();
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("ID Request OK."));
        QCOMPARE(rig.target().GetTgtSystemID(), qint16(8));
    }

    // An unanswered wait sleeps in the event loop instead of spinning.
    void unansweredWaitUsesNoCpu() {
        ModuleRig rig(LinkTimings{});
        rig.module.faults.unanswered.insert(16);
        const double before = CpuMilliseconds();
        QElapsedTimer clock;
        clock.start();
        rig.target().RequestTargetID();
        const double cpu = CpuMilliseconds() - before;
        const qint64 elapsed = clock.elapsed();
        qInfo("unanswered wait: %lld ms, %.1f ms of CPU", elapsed, cpu);
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("No response."));
        // The reply time-out is 1500 ms: neither shortened nor lengthened.
        QVERIFY2(elapsed >= 1480 && elapsed < 2500, qPrintable(QString::number(elapsed)));
        QVERIFY2(cpu < 150.0, qPrintable(QString::number(cpu)));
    }
};

QTEST_GUILESS_MAIN(TestTargetIdentity)
#include "tst_TargetIdentity.moc"

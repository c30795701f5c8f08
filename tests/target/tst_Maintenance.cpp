#include "Maintenance.h"
#include "ModuleRig.h"

#include <QtTest>

namespace {
struct MaintenanceRig : ModuleRig {
    Maintenance maintenance{*link, exchange, reporter};
};
} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT
private slots:
    // The waiting operations: what goes on the line and what the operator reads.
    void waitingOperations() {
        struct Case {
            void (Maintenance::*operation)();
            const char* fault;
            QByteArray wire;
            QStringList statuses;
        };
        const QByteArray erase = QByteArray::fromHex("5a1111");
        const QByteArray wipe = QByteArray::fromHex("5a1a1a");
        const QByteArray restore = QByteArray::fromHex("5a1717");
        const Case cases[] = {
            {&Maintenance::EraseTarget, "", erase, {"Erasing ....", "OK"}},
            {&Maintenance::EraseTarget, "refuse", erase, {"Erasing ....", "Erase Failed."}},
            {&Maintenance::EraseTarget, "silent", erase, {"Erasing ....", "No response."}},
            {&Maintenance::WipeTarget, "", wipe, {"Wiping ....", "OK - Wiped"}},
            {&Maintenance::WipeTarget, "refuse", wipe, {"Wiping ....", "Wipe Failed."}},
            {&Maintenance::WipeTarget, "silent", wipe, {"Wiping ....", "No response."}},
            {&Maintenance::RestoreSerialBackup, "", restore, {"Restore OK."}},
            {&Maintenance::RestoreSerialBackup, "refuse", restore, {"Restore Failed (Program Error)."}},
            {&Maintenance::RestoreSerialBackup, "silent", restore, {"Restore Failed (No Response)."}}};
        for (const Case& c : cases) {
            MaintenanceRig rig;
            const int code = static_cast<quint8>(c.wire[1]);
            if (QLatin1String(c.fault) == QLatin1String("refuse"))
                rig.module.faults.refused.insert(code);
            else if (QLatin1String(c.fault) == QLatin1String("silent"))
                rig.module.faults.unanswered.insert(code);
            (rig.maintenance.*c.operation)();
            QCOMPARE(rig.reporter.statuses, c.statuses);
            QCOMPARE(rig.module.heardFrames().size(), 1);
            QCOMPARE(rig.module.heardFrames()[0].bytes.toHex(' '), c.wire.toHex(' '));
        }
    }

    void restartIntoBootloader_data() {
        QTest::addColumn<bool>("switchBaud");
        QTest::addColumn<int>("frameBaud");
        QTest::newRow("switching to 38400") << true << 38400;
        QTest::newRow("at the current speed") << false << 115200;
    }
    void restartIntoBootloader() {
        QFETCH(bool, switchBaud);
        QFETCH(int, frameBaud);
        MaintenanceRig rig;
        rig.module.setInApplication(true);
        QSignalSpy heard(&rig.module, &VirtualModule::frameHeard);
        QElapsedTimer clock;
        clock.start();
        rig.maintenance.RestartIntoBootloader(switchBaud);
        QVERIFY(!rig.exchange.GetMessageInProgress()); // the flags are not touched
        QVERIFY(heard.wait(2000));
        QCOMPARE(heard.at(0).at(0).toByteArray().toHex(' '), QByteArray("5a 03 fe 01"));
        QCOMPARE(heard.at(0).at(1).toInt(), frameBaud);
        QCOMPARE(rig.module.inApplication(), !switchBaud); // the application hears only 38400

        QSignalSpy reset(&rig.link->ResetBaudRateTmr, &QTimer::timeout);
        QVERIFY(reset.wait(2000));
        QVERIFY(clock.elapsed() >= 250);
        QCOMPARE(rig.module.lineBaud(), 115200);
        QVERIFY(rig.reporter.statuses.isEmpty());
    }

    void secondOperationIsRefusedWhileOneWaits() {
        MaintenanceRig rig;
        rig.module.faults.replyDelayMs = 200;
        QTimer::singleShot(50, &rig.module, [&] { rig.maintenance.WipeTarget(); });
        rig.maintenance.EraseTarget();
        QCOMPARE(rig.reporter.statuses, (QStringList{"Erasing ....", "OK"}));
        QCOMPARE(rig.module.heardFrames().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_Maintenance.moc"

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
    void waitingOperations_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QStringList>("statuses");
        const QByteArray erase = QByteArray::fromHex("5a1111");
        const QByteArray wipe = QByteArray::fromHex("5a1a1a");
        const QByteArray restore = QByteArray::fromHex("5a1717");
        QTest::newRow("erase OK") << "erase"
                                  << "" << erase << QStringList{"Erasing ....", "OK"};
        QTest::newRow("erase refused") << "erase"
                                       << "refuse" << erase << QStringList{"Erasing ....", "Erase Failed."};
        QTest::newRow("erase unanswered") << "erase"
                                          << "silent" << erase << QStringList{"Erasing ....", "No response."};
        QTest::newRow("wipe OK") << "wipe"
                                 << "" << wipe << QStringList{"Wiping ....", "OK - Wiped"};
        QTest::newRow("wipe refused") << "wipe"
                                      << "refuse" << wipe << QStringList{"Wiping ....", "Wipe Failed."};
        QTest::newRow("wipe unanswered") << "wipe"
                                         << "silent" << wipe << QStringList{"Wiping ....", "No response."};
        QTest::newRow("restore OK") << "restore"
                                    << "" << restore << QStringList{"Restore OK."};
        QTest::newRow("restore refused")
            << "restore"
            << "refuse" << restore << QStringList{"Restore Failed (Program Error)."};
        QTest::newRow("restore unanswered")
            << "restore"
            << "silent" << restore << QStringList{"Restore Failed (No Response)."};
    }
    void waitingOperations() {
        QFETCH(QString, operation);
        QFETCH(QString, fault);
        QFETCH(QByteArray, wire);
        QFETCH(QStringList, statuses);
        MaintenanceRig rig;
        const int code = static_cast<quint8>(wire[1]);
        if (fault == "refuse")
            rig.module.faults.refused.insert(code);
        else if (fault == "silent")
            rig.module.faults.unanswered.insert(code);

        if (operation == "erase")
            rig.maintenance.EraseTarget();
        else if (operation == "wipe")
            rig.maintenance.WipeTarget();
        else
            rig.maintenance.RestoreSerialBackup();

        QCOMPARE(rig.reporter.statuses, statuses);
        QCOMPARE(rig.module.heardFrames().size(), 1);
        QCOMPARE(rig.module.heardFrames()[0].bytes.toHex(' '), wire.toHex(' '));
    }

    void restartDoesNotWait() {
        MaintenanceRig rig;
        rig.maintenance.Restart();
        QVERIFY(rig.exchange.GetMessageInProgress()); // completed later by the reply
        QVERIFY(rig.reporter.statuses.isEmpty());
        QSignalSpy done(&rig.exchange, &CommandExchange::completed);
        QVERIFY(done.wait(2000));
        QVERIFY(rig.exchange.GetMessageSuccessful());
        QCOMPARE(rig.module.heardFrames()[0].bytes.toHex(' '), QByteArray("5a 1b 1b"));
        QVERIFY(rig.module.inApplication());
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

#include "ModuleRig.h"

#include <QtTest>

namespace {
using Operation = void (Operations::*)();
} // namespace
Q_DECLARE_METATYPE(Operation)

class TestOperations : public QObject {
    Q_OBJECT
private slots:
    // The waiting maintenance operations: what goes on the line and what the
    // operator reads.
    void maintenance_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("wire");
        QTest::addColumn<QStringList>("statuses");
        const Operation erase = &Operations::EraseTarget;
        const Operation wipe = &Operations::WipeTarget;
        const Operation restore = &Operations::RestoreSerialBackup;
        QTest::newRow("erase") << erase << ""
                               << "5a 11 11" << QStringList{"Erasing ....", "OK"};
        QTest::newRow("erase refused") << erase << "refuse"
                                       << "5a 11 11" << QStringList{"Erasing ....", "Erase Failed."};
        QTest::newRow("erase unanswered") << erase << "silent"
                                          << "5a 11 11" << QStringList{"Erasing ....", "No response."};
        QTest::newRow("wipe") << wipe << ""
                              << "5a 1a 1a" << QStringList{"Wiping ....", "OK - Wiped"};
        QTest::newRow("wipe refused") << wipe << "refuse"
                                      << "5a 1a 1a" << QStringList{"Wiping ....", "Wipe Failed."};
        QTest::newRow("wipe unanswered") << wipe << "silent"
                                         << "5a 1a 1a" << QStringList{"Wiping ....", "No response."};
        QTest::newRow("restore") << restore << ""
                                 << "5a 17 17" << QStringList{"Restore OK."};
        QTest::newRow("restore refused") << restore << "refuse"
                                         << "5a 17 17" << QStringList{"Restore Failed (Program Error)."};
        QTest::newRow("restore unanswered") << restore << "silent"
                                            << "5a 17 17" << QStringList{"Restore Failed (No Response)."};
    }
    void maintenance() {
        QFETCH(Operation, operation);
        QFETCH(QString, fault);
        QFETCH(QString, wire);
        QFETCH(QStringList, statuses);
        ModuleRig rig;
        const int code = QByteArray::fromHex(wire.toLatin1()).at(1);
        if (fault == "refuse")
            rig.module.faults.refused.insert(code);
        else if (fault == "silent")
            rig.module.faults.unanswered.insert(code);
        (rig.operations().*operation)();
        QCOMPARE(rig.reporter.statuses, statuses);
        QCOMPARE(rig.heard(), QStringList{wire});
        QVERIFY(!rig.exchange().operationActive());
    }

    // A larger operation built only from steps, under one gate.
    void compoundOperationOfSteps() {
        ModuleRig rig;
        rig.module.identity = SampleIdentity();
        QSignalSpy gate(&rig.exchange(), &CommandExchange::operationActiveChanged);
        QStringList outcomes;
        {
            const OperationScope operation(rig.exchange());
            QVERIFY(operation.granted());
            outcomes << (rig.target().RequestTargetID() == CommandOutcome::Succeeded ? "id" : "-");
            outcomes << (rig.maintenance().EraseFlash() == CommandOutcome::Succeeded ? "erase" : "-");
            rig.module.identity.serial = 0x0102;
            outcomes << (rig.target().RequestTargetID() == CommandOutcome::Succeeded ? "id" : "-");
        }
        QCOMPARE(outcomes, (QStringList{"id", "erase", "id"}));
        QCOMPARE(rig.heard(), (QStringList{"5a 10 10", "5a 11 11", "5a 10 10"}));
        QCOMPARE(rig.target().identity().SerialNo, 0x0102);
        QCOMPARE(gate.size(), 2); // taken once, released once
    }

    // A second operation started while one waits is refused and sends nothing.
    void secondOperationIsRefused() {
        ModuleRig rig;
        rig.module.faults.replyDelayMs = 100;
        QTimer::singleShot(30, &rig.module, [&] {
            rig.operations().WipeTarget();
            rig.operations().RequestTargetID();
            rig.operations().Restart();
        });
        rig.operations().EraseTarget();
        QCOMPARE(rig.reporter.statuses, (QStringList{"Erasing ....", "OK"}));
        QCOMPARE(rig.heard(), QStringList{"5a 11 11"});
    }

    // Restart returns at once but holds the gate until its command is settled:
    // its late acknowledgement cannot complete the next command.
    void restartHoldsTheGateUntilSettled_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("acknowledged late") << "late";
        QTest::newRow("not answered") << "silent";
    }
    void restartHoldsTheGateUntilSettled() {
        QFETCH(QString, answer);
        ModuleRig rig;
        if (answer == "late")
            rig.module.faults.replyDelayMs = 150;
        else
            rig.module.faults.unanswered.insert(27);
        QElapsedTimer clock;
        clock.start();
        rig.operations().Restart();
        QVERIFY(clock.elapsed() < 100);
        QVERIFY(rig.reporter.statuses.isEmpty());
        QVERIFY(rig.exchange().operationActive());
        rig.operations().EraseTarget(); // refused: the restart has not settled
        QVERIFY(rig.reporter.statuses.isEmpty());

        QSignalSpy gate(&rig.exchange(), &CommandExchange::operationActiveChanged);
        QVERIFY(gate.wait(1000));
        const qint64 settled = clock.elapsed();
        QVERIFY2(settled >= 120 && settled < 800, qPrintable(QString::number(settled)));
        QVERIFY(!rig.exchange().operationActive());
        QVERIFY(rig.reporter.statuses.isEmpty());

        // An erase the module does not answer is not completed by anything left over.
        rig.module.faults = {};
        rig.module.faults.unanswered.insert(17);
        rig.operations().EraseTarget();
        QCOMPARE(rig.reporter.statuses, (QStringList{"Erasing ....", "No response."}));
        QCOMPARE(rig.heard(), (QStringList{"5a 1b 1b", "5a 11 11"}));
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
        ModuleRig rig;
        rig.module.setInApplication(true);
        QSignalSpy heard(&rig.module, &VirtualModule::frameHeard);
        rig.operations().RestartIntoBootloader(switchBaud);
        QVERIFY(!rig.exchange().GetMessageInProgress()); // the flags are not touched
        QVERIFY(rig.exchange().operationActive());       // until the line is back at 115200
        QVERIFY(heard.wait(2000));
        QCOMPARE(heard.at(0).at(0).toByteArray().toHex(' '), QByteArray("5a 03 fe 01"));
        QCOMPARE(heard.at(0).at(1).toInt(), frameBaud);
        QCOMPARE(rig.module.inApplication(), !switchBaud); // the application hears only 38400
        QTRY_VERIFY(!rig.exchange().operationActive());
        QCOMPARE(rig.module.lineBaud(), 115200);
        QVERIFY(rig.reporter.statuses.isEmpty());
    }

    // The program closes in the middle of a compound operation: it ends without
    // sending its next step.
    void closingEndsACompoundOperation() {
        ModuleRig rig;
        rig.module.faults.unanswered.insert(17);
        QTimer::singleShot(80, &rig.module, [&] { rig.core->shutdown(); });
        QStringList outcomes;
        {
            const OperationScope operation(rig.exchange());
            rig.target().RequestTargetID();
            if (rig.maintenance().EraseFlash() != CommandOutcome::Abandoned)
                outcomes << "erase not abandoned";
            if (rig.target().RequestIDFromTarget() != CommandOutcome::Abandoned)
                outcomes << "identity not abandoned";
        }
        QVERIFY(outcomes.isEmpty());
        QCOMPARE(rig.heard(), (QStringList{"5a 10 10", "5a 11 11"}));
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_Operations.moc"

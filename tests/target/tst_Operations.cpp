// The core on a virtual module: the identity read, and operations single and
// compound under the operation gate.

#include "ModuleRig.h"

class TestOperations : public QObject {
    Q_OBJECT
private slots:
    void readEndToEnd() {
        ModuleRig rig;
        rig.module.identity = SampleIdentity();
        QSignalSpy updated(&rig.target(), &TargetSession::identityUpdated);
        QSignalSpy statusRead(&rig.target(), &TargetSession::targetStatusRead);
        bool completedFirst = false; // the command is completed before the reply is taken over
        connect(&rig.target(), &TargetSession::identityUpdated, this,
                [&] { completedFirst = !rig.exchange().GetMessageInProgress(); });
        rig.target().RequestTargetID();
        QCOMPARE(rig.reporter.statuses, (QStringList{"Requesting Target ID", "ID Request OK."}));
        QVERIFY(rig.exchange().GetMessageSuccessful() && rig.target().tgtStatusRead() &&
                rig.link().GetCommsGood());
        QVERIFY(completedFirst && updated.size() == 1 && statusRead.size() == 1);
        const TargetIdentity& id = rig.target().identity();
        QCOMPARE(Join(id.LastErrorCode, id.InitByte, id.SystemID, id.SubsystemID, id.SerialLow, id.SerialHigh,
                      id.IDByte1, id.IDByte2, id.IDByte3, id.SerialNo, id.BLVersionMajor, id.BLVersionMinor,
                      id.AppVersionMajor, id.AppVersionMinor, id.BLCapabilities,
                      rig.target().GetTgtSystemID()),
                 Join(9, 0x5A, 1, 10, 0x34, 0x12, 0x11, 0x22, 0x33, 4660, 1, 5, 2, 7, 3,
                      1)); // error 9 is no failure
        QCOMPARE(id.IDBlock(), (std::array<qint16, 8>{0x5A, 1, 10, 0x34, 0x12, 0x11, 0x22, 0x33}));
        QCOMPARE(id.CpuID, (std::array<qint16, 4>{30, 31, 32, 33}));
        QCOMPARE(id.InfoBytes,
                 (std::array<qint16, 11>{'A', 'B', 'C', '1', '2', '3', 0xC1, 0xC2, 0xC3, 0xC4, 3}));
        RxMsg highest{32}; // the highest serial number
        highest[5] = highest[6] = 0xFF;
        QCOMPARE(DecodeIdentityReply(highest).SerialNo, 65535);
    }

    // An unanswered wait sleeps in the event loop instead of spinning.
    void unansweredWaitUsesNoCpu() {
        ModuleRig rig(LinkTimings{});
        rig.module.faults.unanswered.insert(16);
        const double before = CpuMilliseconds();
        const qint64 elapsed = MsToRun([&] { rig.target().RequestTargetID(); });
        const double cpu = CpuMilliseconds() - before;
        QCOMPARE(rig.reporter.statuses.last(), "No response.");
        QVERIFY_BETWEEN(elapsed, 1480, 2500); // the 1500 ms reply time-out, neither shortened nor lengthened
        QVERIFY2(cpu < 150.0, qPrintable(QString::number(cpu)));
    }

    // A larger operation built only from steps, under one gate.
    void compoundOperationOfSteps() {
        ModuleRig rig;
        QSignalSpy gate(&rig.exchange(), &CommandExchange::operationActiveChanged);
        QList<Outcome> outcomes;
        {
            const OperationScope operation(rig.exchange());
            QVERIFY(operation.granted());
            outcomes << rig.target().RequestTargetID() << rig.maintenance().EraseFlash();
            rig.module.identity.serial = 0x0102;
            outcomes << rig.target().RequestTargetID();
        }
        QCOMPARE(outcomes, QList<Outcome>(3, Outcome::Succeeded));
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
        AddRows({"acknowledged late | 27:1:delay=150", "not answered | 27:1:no-reply"});
    }
    void restartHoldsTheGateUntilSettled() {
        ModuleRig rig;
        rig.module.faults.plan(*ParseFaultPlan(Fields<1>()[0]));
        rig.module.faults.unanswered.insert(17);
        QElapsedTimer clock;
        clock.start();
        rig.operations().Restart();
        QVERIFY(clock.elapsed() < 100);
        QVERIFY(rig.exchange().operationActive());
        rig.operations().EraseTarget(); // refused: the restart has not settled
        QSignalSpy gate(&rig.exchange(), &CommandExchange::operationActiveChanged);
        QVERIFY(gate.wait(1000));
        QVERIFY_BETWEEN(clock.elapsed(), 120, 800);
        QVERIFY(!rig.exchange().operationActive());
        QVERIFY(rig.reporter.statuses.isEmpty());
        // An erase the module does not answer is not completed by anything left over.
        rig.operations().EraseTarget();
        QCOMPARE(rig.reporter.statuses, (QStringList{"Erasing ....", "No response."}));
        QCOMPARE(rig.heard(), (QStringList{"5a 1b 1b", "5a 11 11"}));
    }

    void restartIntoBootloader_data() {
        AddRows({"switching to 38400 | 38400", "at the current speed | 115200"});
    }
    void restartIntoBootloader() {
        const int baud = Fields<1>()[0].toInt();
        ModuleRig rig;
        rig.module.setInApplication(true);
        QSignalSpy heard(&rig.module, &VirtualModule::frameHeard);
        rig.operations().RestartIntoBootloader(baud == 38400);
        QVERIFY(!rig.exchange().GetMessageInProgress()); // the flags are not touched
        QVERIFY(rig.exchange().operationActive());       // until the line is back at 115200
        QVERIFY(heard.wait(2000));
        QCOMPARE(heard.at(0), (QVariantList{QByteArray::fromHex("5a03fe01"), baud}));
        QCOMPARE(rig.module.inApplication(), baud != 38400); // the application hears only 38400
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
        QList<Outcome> outcomes;
        {
            const OperationScope operation(rig.exchange());
            rig.target().RequestTargetID();
            outcomes << rig.maintenance().EraseFlash() << rig.target().RequestIDFromTarget();
        }
        QCOMPARE(outcomes, QList<Outcome>(2, Outcome::Abandoned));
        QCOMPARE(rig.heard(), (QStringList{"5a 10 10", "5a 11 11"}));
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_Operations.moc"

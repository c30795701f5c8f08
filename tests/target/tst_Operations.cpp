// The core on a virtual module: the identity read, and operations single and
// compound under the operation gate.

#include "CommsLink.h"
#include "ModuleRig.h"

#include <QTemporaryDir>

class TestOperations : public QObject {
    Q_OBJECT
private slots:
    void readEndToEnd() {
        ModuleRig rig;
        rig.module.identity = sampleIdentity();
        bool completedFirst = false; // the command is completed before the reply is taken over
        connect(&rig.link(), &CommsLink::identityReplyReceived, this,
                [&] { completedFirst = !rig.exchange().GetMessageInProgress(); });
        rig.reporter.changes.clear();
        rig.target().RequestTargetID();
        QCOMPARE(rig.reporter.statuses, (QStringList{"Requesting Target ID", "ID Request OK."}));
        QVERIFY(rig.target().tgtStatusRead() && completedFirst);
        QCOMPARE(rig.reporter.changes,
                 (QList<Change>{Change::Identity, Change::ModuleRead, Change::ModuleRead}));
        // The fields the windows do not show; error 9 is no failure.
        const TargetIdentity& id = rig.target().identity();
        QCOMPARE(join(id.LastErrorCode, id.InitByte, id.InfoBytes[0], id.InfoBytes[5], id.InfoBytes[10]),
                 join(9, 0x5A, int('A'), int('3'), 3));
        RxMsg highest{32}; // the highest serial number
        highest[5] = highest[6] = 0xFF;
        QCOMPARE(decodeIdentityReply(highest).SerialNo, 65535);
    }

    // An unanswered wait sleeps in the event loop instead of spinning.
    void unansweredWaitUsesNoCpu() {
        ModuleRig rig(LinkTimings{});
        rig.module.faults.unanswered.insert(16);
        const double before = cpuMilliseconds();
        const qint64 elapsed = msToRun([&] { rig.target().RequestTargetID(); });
        const double cpu = cpuMilliseconds() - before;
        QCOMPARE(rig.reporter.statuses.last(), "No response.");
        QVERIFY_BETWEEN(elapsed, 1480, 2500); // the 1500 ms reply time-out, neither shortened nor lengthened
        QVERIFY2(cpu < 150.0, qPrintable(QString::number(cpu)));
    }

    // The operator's typed entries: a value out of range is refused, and the
    // answer says so. The field, the value, whether it was taken, the field
    // afterwards.
    void entries_data() {
        addRows({"next serial 0 | next serial | 0 | refused | 1",
                 "next serial 65536 | next serial | 65536 | refused | 1",
                 "next serial 65535 | next serial | 65535 | taken | 65535",
                 "next serial rounds half to even | next serial | 2.5 | taken | 2",
                 "ID byte 256 | #3 | 256 | refused | 0",
                 "ID byte -1 | #3 | -1 | refused | 0",
                 "ID byte 255 | #3 | 255 | taken | 255",
                 "Init byte | Init | 7 | taken | 7",
                 "ID byte 12.5 | #3 | 12.5 | taken | 12",
                 "header byte 256 | System | 256 | refused | 1",
                 "header byte 255 | System | 255 | taken | 255",
                 "header byte 0 | System | 0 | taken | 0",
                 "pages 0 | pages | 0 | refused | 120",
                 "pages 257 | pages | 257 | refused | 120",
                 "pages 256 | pages | 256 | taken | 256",
                 "pages 0.5 rounds to 0 | pages | 0.5 | refused | 120",
                 "pages 1.5 rounds to 2 | pages | 1.5 | taken | 2",
                 "version 0 | major | 0 | refused | 2",
                 "version 256 | major | 256 | refused | 2",
                 "version 255 | major | 255 | taken | 255",
                 "version 3.5 | major | 3.5 | taken | 4",
                 "highest serial 32768 | Solvane | 32768 | refused | 0",
                 "highest serial 32767 | Solvane | 32767 | taken | 255"});
    }
    void entries() {
        const auto [field, value, taken, after] = fields<4>();
        ModuleRig rig;
        rig.target().RequestTargetID(); // version 2.07
        Operations& ops = rig.operations();
        const CoreView& view = rig.core->view();
        const double v = value.toDouble();
        OperationResult r;
        qint32 now = 0;
        if (field == "next serial") {
            r = ops.editSerial({SerialEdit::Field::NextSerial, 0, v, {}});
            now = view.nextSerial().value_or(-1);
        } else if (field == "#3" || field == "Init") {
            const size_t at = field == "Init" ? IdBlockField::Init : IdBlockField::Id3;
            r = ops.editSerial({SerialEdit::Field::BlockByte, static_cast<int>(at), v, {}});
            now = view.serialBlock()[at];
        } else if (field == "System") {
            r = ops.editCapture({CaptureEdit::Field::HeaderByte, 0, v, {}});
            now = view.captureSettings().header[0];
        } else if (field == "Solvane") { // the preset asks for the highest serial number: SerL
            r = ops.editCapture({CaptureEdit::Field::Preset, 0, v, {}});
            now = view.captureSettings().header[2];
        } else if (field == "pages") {
            r = ops.editCapture({CaptureEdit::Field::Pages, 0, v, {}});
            now = view.captureSettings().pages;
        } else {
            r = ops.editAppVersion({v, 7});
            now = view.identity().AppVersionMajor;
        }
        QCOMPARE(join(r.succeeded() ? "taken" : "refused", now), join(taken, after.toInt()));
        if (field == "Solvane" && !r.succeeded())
            QCOMPARE(r.status, "The highest serial number must be 0 to 32767.");
    }

    // A second operation started while one waits is refused and sends nothing.
    void secondOperationIsRefused() {
        ModuleRig rig;
        rig.module.faults.replyDelayMs = 100;
        QStringList refused;
        QTimer::singleShot(30, &rig.module, [&] {
            for (const OperationResult& r :
                 {rig.operations().WipeTarget(), rig.operations().RequestTargetID(),
                  rig.operations().Restart(), rig.operations().ProgramAndLogSerialNo({true, false})})
                refused << outcomeName(r.outcome) + ("/" + r.status);
        });
        const OperationResult erased = rig.operations().EraseTarget();
        QCOMPARE(refused, QStringList(4, "busy/"));
        QCOMPARE(join(outcomeName(erased.outcome), erased.status), "succeeded | OK");
        QCOMPARE(rig.reporter.statuses, (QStringList{"Erasing ....", "OK"}));
        QCOMPARE(rig.heard(), QStringList{"5a 11 11"});
        rig.operations().LoadFirmwareFile("/nonexistent/x.fw");       // a "File Read" message
        QCOMPARE(rig.operations().EraseTarget().critical, QString()); // not carried over
    }

    // Restart returns at once but holds the gate until its command is settled:
    // its late acknowledgement cannot complete the next command.
    void restartHoldsTheGateUntilSettled_data() {
        addRows(
            {"acknowledged late | 27:1:delay=150 | succeeded", "not answered | 27:1:no-reply | no-response"});
    }
    void restartHoldsTheGateUntilSettled() {
        const auto [fault, settled] = fields<2>();
        ModuleRig rig;
        rig.module.faults.plan(*parseFaultPlan(fault));
        rig.module.faults.unanswered.insert(17);
        QElapsedTimer clock;
        clock.start();
        rig.operations().Restart();
        QVERIFY(clock.elapsed() < 100);
        QVERIFY(rig.exchange().operationActive());
        QCOMPARE(rig.operations().EraseTarget().outcome, Outcome::Busy); // the restart has not settled
        QCOMPARE(outcomeName(rig.operations().waitUntilSettled()), settled);
        QVERIFY_BETWEEN(clock.elapsed(), 120, 800);
        QVERIFY(!rig.exchange().operationActive());
        QVERIFY(rig.reporter.statuses.isEmpty());
        // An erase the module does not answer is not completed by anything left over.
        rig.operations().EraseTarget();
        QCOMPARE(rig.reporter.statuses, (QStringList{"Erasing ....", "No response."}));
        QCOMPARE(rig.heard(), (QStringList{"5a 1b 1b", "5a 11 11"}));
    }

    void restartIntoBootloader_data() {
        addRows({"switching to 38400 | 38400", "at the current speed | 115200"});
    }
    // The frame goes out at the speed asked for; 300 ms later the line is
    // back at 115200 baud, and only then is the gate free.
    void restartIntoBootloader() {
        const int baud = fields<1>()[0].toInt();
        ModuleRig rig(LinkTimings{}); // the real reset delay
        rig.module.setInApplication(true);
        QSignalSpy heard(&rig.module, &VirtualModule::frameHeard);
        QElapsedTimer clock;
        clock.start();
        rig.operations().RestartIntoBootloader(baud == 38400);
        QVERIFY(!rig.exchange().GetMessageInProgress()); // the flags are not touched
        QVERIFY(rig.exchange().operationActive());       // until the line is back at 115200
        QVERIFY(heard.wait(2000));
        QCOMPARE(heard.at(0), (QVariantList{QByteArray::fromHex("5a03fe01"), baud}));
        QCOMPARE(rig.module.inApplication(), baud != 38400); // the application hears only 38400
        QCOMPARE(outcomeName(rig.operations().waitUntilSettled()), "succeeded");
        QVERIFY_BETWEEN(clock.elapsed(), 290, 900);
        QCOMPARE(join(rig.module.lineBaud(), rig.link().settings()), "115200 | 115200,N,8,1");
        QVERIFY(rig.reporter.statuses.isEmpty());
    }

    // The program closes in the middle of an operation: it ends without
    // sending its next step, as abandoned.
    void closingEndsAnOperation() {
        ModuleRig rig;
        rig.module.identity.init = 0xFF;
        QTemporaryDir folder;
        rig.core->serials().ReadSerialDBFile({folder.filePath("log.ser"), {}});
        rig.module.faults.unanswered.insert(19);
        QTimer::singleShot(80, &rig.module, [&] { rig.core->shutdown(); });
        const OperationResult result = rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(outcomeName(result.outcome), "abandoned");
        QCOMPARE(rig.heard(),
                 (QStringList{"5a 10 10", "5a 13 00 00 00 01 00 00 00 00 14"})); // no second read
        QCOMPARE(readFile(folder.filePath("log.ser")), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_Operations.moc"

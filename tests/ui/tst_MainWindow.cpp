#include "CommsLink.h"
#include "WindowRig.h"

#include <QAction>

namespace {
// The status lines as they read halfway through the module's reply delay,
// then after the operation.
QStringList statusSequence(WindowRig& rig, QPushButton* button, int delayMs = 300) {
    rig.module.faults.replyDelayMs = delayMs;
    QStringList seen;
    QTimer::singleShot(delayMs / 3, [&] { seen << rig.statusLines(); });
    QTest::mouseClick(button, Qt::LeftButton);
    seen << rig.statusLines();
    return seen;
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startUp() {
        WindowRig rig;
        QCOMPARE(rig.main().windowTitle(), QStringLiteral("MERLAX Bootloader 1.3"));
        QVERIFY(rig.main().isVisible());
        QVERIFY(!rig.admin().isVisible());
        QVERIFY(!rig.comms().isVisible());
        QCOMPARE(rig.admin().windowTitle(), QStringLiteral("BootloaderAdmin"));
        QCOMPARE(rig.admin().pos().x(), rig.main().frameGeometry().x() + rig.main().frameGeometry().width());
        QCOMPARE(rig.admin().pos().y(), rig.main().frameGeometry().y());
        QVERIFY(rig.app->link().portOK());
        QVERIFY(rig.dialogs.criticals.isEmpty());
        // The buttons of the next steps are green.
        QCOMPARE(ButtonColour(rig.mainControl<QPushButton>("LoadFWcb")), QColor(0, 255, 0));
        QCOMPARE(ButtonColour(rig.mainControl<QPushButton>("GetTgtStatuscb")), QColor(0, 255, 0));
        QCOMPARE(ButtonColour(rig.mainControl<QPushButton>("ProgramFwcb")), QColor(192, 192, 192));
        QCOMPARE(ButtonColour(rig.mainControl<QPushButton>("Rebootcb")), QColor(192, 192, 192));
    }

    void missingCom10IsReportedAtStartUp() {
        UnmapAllPorts();
        ScriptedDialogs dialogs;
        BootloaderApp app(dialogs, {});
        app.start();
        QCOMPARE(dialogs.criticals.size(), 1);
        QCOMPARE(dialogs.criticals[0].title, QStringLiteral("Comms Port"));
        QVERIFY(dialogs.criticals[0].text.startsWith(QStringLiteral("Error opening comms port 10 : ")));
    }

    void connectFillsBothWindows() {
        WindowRig rig;
        rig.module.identity = SampleIdentity();
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);

        QCOMPARE(rig.statusLines(), (QStringList{"ID Request OK.", "ID Request OK."}));
        QCOMPARE(rig.mainText("TgtFwSystemtb"), QStringLiteral("Solvane : PWM (FF)"));
        QCOMPARE(rig.mainText("TgtFwVersionlb"), QStringLiteral("2:07"));
        QCOMPARE(rig.mainText("TgtSerialNolb"), QStringLiteral("010A-1234:112233"));
        QCOMPARE(rig.mainText("BootloaderVersionlb"), QStringLiteral("1:05[03]"));
        QCOMPARE(rig.mainText("ErrorCodelb"), QStringLiteral("InvParam"));

        const QStringList idBlock{"$5A", "$01", "$0A", "$34", "$12", "$11", "$22", "$33"};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(rig.adminText(ArrayName("TgtIDlb", i)), idBlock[i]);
        QCOMPARE(rig.adminText("Seriallb"), QStringLiteral("4660"));
        QCOMPARE(rig.adminText("Systemlb"), QStringLiteral("Solvane"));
        QCOMPARE(rig.adminText("SubSystemlb"), QStringLiteral("PWM (FF)"));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.adminText(ArrayName("cpuidlb", i)), QString::number(30 + i));
        QCOMPARE(rig.adminText("BootloaderVersionlb"), QStringLiteral("1:05[03]"));
        QCOMPARE(rig.adminText("AppVersionlb"), QStringLiteral("2:07"));
        QCOMPARE(rig.adminText("ErrorCodelb"), QStringLiteral("InvParam"));
        QCOMPARE(ButtonColour(rig.mainControl<QPushButton>("GetTgtStatuscb")), QColor(192, 192, 192));
        QCOMPARE(ButtonColour(rig.mainControl<QPushButton>("ProgramFwcb")), QColor(192, 192, 192));
    }

    void maintenanceButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("during");
        QTest::addColumn<QString>("after");
        QTest::newRow("erase OK") << "Erasecb"
                                  << ""
                                  << "Erasing ...."
                                  << "OK";
        QTest::newRow("erase refused") << "Erasecb"
                                       << "refuse"
                                       << "Erasing ...."
                                       << "Erase Failed.";
        QTest::newRow("erase unanswered") << "Erasecb"
                                          << "silent"
                                          << "Erasing ...."
                                          << "No response.";
        QTest::newRow("restore OK") << "RestoreSercb"
                                    << ""
                                    << ""
                                    << "Restore OK.";
        QTest::newRow("restore refused") << "RestoreSercb"
                                         << "refuse"
                                         << ""
                                         << "Restore Failed (Program Error).";
        QTest::newRow("restore unanswered") << "RestoreSercb"
                                            << "silent"
                                            << ""
                                            << "Restore Failed (No Response).";
    }
    void maintenanceButtons() {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, during);
        QFETCH(QString, after);
        WindowRig rig;
        const int code = button == "Erasecb" ? 17 : 23;
        if (fault == "refuse")
            rig.module.faults.refused.insert(code);
        else if (fault == "silent")
            rig.module.faults.unanswered.insert(code);
        const QStringList seen = statusSequence(rig, rig.mainControl<QPushButton>(button));
        QCOMPARE(seen, (QStringList{during, during, after, after}));
    }

    void rebootNeitherWaitsNorReports() {
        WindowRig rig;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(rig.mainControl<QPushButton>("Rebootcb"), Qt::LeftButton);
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(rig.statusLines(), (QStringList{"", ""}));
        QSignalSpy heard(&rig.module, &VirtualModule::frameHeard);
        QVERIFY(heard.wait(2000));
        QCOMPARE(heard.at(0).at(0).toByteArray().toHex(' '), QByteArray("5a 1b 1b"));
    }

    // "Enter" keeps the line at its speed; the reset timer still runs.
    void enterSendsAtTheCurrentSpeed() {
        WindowRig rig;
        QSignalSpy heard(&rig.module, &VirtualModule::frameHeard);
        QTest::mouseClick(rig.mainControl<QPushButton>("RebootToBootloadercb_1"), Qt::LeftButton);
        QVERIFY(heard.wait(2000));
        QCOMPARE(heard.at(0).at(0).toByteArray().toHex(' '), QByteArray("5a 03 fe 01"));
        QCOMPARE(heard.at(0).at(1).toInt(), 115200);
        QVERIFY(rig.app->link().ResetBaudRateTmr.isActive());
        QSignalSpy reset(&rig.app->link().ResetBaudRateTmr, &QTimer::timeout);
        QVERIFY(reset.wait(2000));
        QCOMPARE(rig.module.lineBaud(), 115200);
    }

    void adminGesture() {
        const std::tuple<bool, Qt::KeyboardModifiers, bool> cases[] = {{false, Qt::ControlModifier, false},
                                                                       {false, Qt::NoModifier, false},
                                                                       {true, Qt::NoModifier, false},
                                                                       {true, Qt::ShiftModifier, false},
                                                                       {true, Qt::ControlModifier, true}};
        for (const auto& [adminOption, modifiers, shown] : cases) {
            WindowRig rig(adminOption);
            QTest::mouseClick(rig.mainControl("TgtFwSystemtb"), Qt::LeftButton, modifiers);
            QCOMPARE(rig.admin().isVisible(), shown);
        }
    }

    void commandButtonsAreDisabledWhileWaiting() {
        WindowRig rig;
        rig.module.faults.replyDelayMs = 300;
        const QList<QPushButton*> buttons = rig.main().findChildren<QPushButton*>() +
                                            rig.admin().findChildren<QPushButton*>() +
                                            rig.comms().findChildren<QPushButton*>();
        QVERIFY(buttons.size() > 20);
        int enabledDuring = -1;
        QTimer::singleShot(100, [&] {
            enabledDuring = 0;
            for (QPushButton* b : buttons)
                enabledDuring += b->isEnabled() ? 1 : 0;
        });
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);
        QCOMPARE(enabledDuring, 0);
        for (QPushButton* b : buttons)
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(rig.commsControl("CommsPortob_9")->isEnabled());
    }

    void moduleVanishesDuringAnErase() {
        if (!CanHangUpLines())
            QSKIP("hanging up a line needs CAP_SYS_ADMIN");
        WindowRig rig;
        rig.module.faults.replyDelayMs = 1000;
        QTimer::singleShot(100, &rig.module, [&] { rig.module.hangUp(); });
        QTest::mouseClick(rig.mainControl<QPushButton>("Erasecb"), Qt::LeftButton);
        QCOMPARE(rig.statusLines(), (QStringList{"No response.", "No response."}));
        QCOMPARE(rig.dialogs.criticals.size(), 1);
        QCOMPARE(rig.dialogs.criticals[0].title, QStringLiteral("Comms Port"));
        QVERIFY(rig.dialogs.criticals[0].text.startsWith(QStringLiteral("Error reading from comms port: ")));
        QVERIFY(rig.mainControl("Erasecb")->isEnabled());
        QVERIFY(!rig.app->link().portOK());
    }

    void closingWhileWaiting() {
        WindowRig rig;
        rig.module.faults.unanswered.insert(17);
        QTimer::singleShot(100, &rig.main(), [&] { rig.main().close(); });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(rig.mainControl<QPushButton>("Erasecb"), Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 1000, "the wait outlived the window");
        QVERIFY(!rig.main().isVisible());
        QVERIFY(!rig.app->link().portOpen());
        QCOMPARE(rig.mainText("Statustb"), QStringLiteral("No response."));
        QVERIFY(!rig.app->exchange().operationActive());
    }

    void exitMenuClosesThePort() {
        WindowRig rig(true);
        QTest::mouseClick(rig.mainControl("TgtFwSystemtb"), Qt::LeftButton, Qt::ControlModifier);
        rig.main().findChild<QAction*>("mnuExit")->trigger();
        QVERIFY(!rig.main().isVisible());
        QVERIFY(!rig.admin().isVisible());
        QVERIFY(!rig.app->link().portOpen());
    }

    void firmwareFilePane() {
        const QString forty(40, QLatin1Char('f'));
        struct Case {
            QString path;
            qint16 system, subSystem, major, minor;
            QString fileText, systemText, versionText;
        };
        const Case cases[] = {{forty, 2, 1, 2, 7, forty, "MERLAX Linkbay", "2.07"},
                              {"X" + forty, 17, 2, 1, 12, forty, "MERLAX 1-Axis BLD", "1.12"},
                              {"a.fw", 1, 2, 0, 5, "a.fw", "", "0.05"}}; // no name for 1/2: text kept
        WindowRig rig;
        for (const Case& c : cases) {
            rig.mainControl<QLabel>("FWSystemtb")->clear();
            rig.main().ShowFirmwareFileInfo(c.path, c.system, c.subSystem, c.major, c.minor);
            QCOMPARE(rig.mainText("FwFiletb"), c.fileText);
            QCOMPARE(rig.mainText("FWSystemtb"), c.systemText);
            QCOMPARE(rig.mainText("FwVersionlb"), c.versionText);
            // A later file whose sub-system has no name leaves the system text as it was.
            rig.main().ShowFirmwareFileInfo(c.path, 1, 17, c.major, c.minor);
            QCOMPARE(rig.mainText("FWSystemtb"), c.systemText);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"

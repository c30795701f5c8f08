#include "CommsLink.h"
#include "WindowRig.h"

#include <QAction>
#include <QGroupBox>
#include <QMenu>

namespace {
void giveIdentity(VirtualModule& module) {
    ModuleIdentity& id = module.identity;
    id.system = 1;
    id.subsystem = 10;
    id.serial = 4660;
    id.idBytes = {0, 0, 0};
    id.blMajor = 1;
    id.blMinor = 5;
    id.capabilities = 3;
    id.appMajor = 2;
    id.appMinor = 7;
    id.lastError = 9;
    id.cpuId = {30, 31, 32, 33};
}

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
        for (const char* label : {"ErrorCodelb", "Statustb", "TgtFwSystemtb", "FwFiletb", "TgtSerialNolb"})
            QCOMPARE(rig.mainText(label), QString());
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

    void captionsAndToolTips_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("Rebootcb") << "Rebootcb"
                                  << "Reboot"
                                  << "Reboot the module and exit bootloader mode.";
        QTest::newRow("RestoreSercb") << "RestoreSercb"
                                      << "Restore"
                                      << "Restores the serial number copy (in case of corruption_";
        QTest::newRow("SerialRecoverycb") << "SerialRecoverycb"
                                          << "Apply"
                                          << "";
        QTest::newRow("Erasecb") << "Erasecb"
                                 << "Erase"
                                 << "Erases the program memory of the module";
        QTest::newRow("ProgramFwcb") << "ProgramFwcb"
                                     << "Program Firmware"
                                     << "";
        QTest::newRow("RebootToBootloadercb_1") << "RebootToBootloadercb_1"
                                                << "Enter"
                                                << "Ask the connected system to reboot into bootloader mode. "
                                                   "Note: Not all firmware supports this so it "
                                                   "may not work.";
        QTest::newRow("GetTgtStatuscb") << "GetTgtStatuscb"
                                        << "Connect to Target"
                                        << "";
        QTest::newRow("LoadFWcb") << "LoadFWcb"
                                  << "Load Firmware File"
                                  << "";
    }
    void captionsAndToolTips() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        WindowRig rig;
        auto* button = rig.mainControl<QPushButton>(name);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->toolTip(), toolTip);
    }

    void framesNestAsListed() {
        WindowRig rig;
        const QList<std::pair<QString, QString>> nesting{{"RestoreSercb", "Frame9"},
                                                         {"SerialRecoverytb", "Frame8"},
                                                         {"ErrorCodelb", "Err"},
                                                         {"Statustb", "Statusfr"},
                                                         {"Erasecb", "Programfr"},
                                                         {"ProgramFwcb", "Programfr"},
                                                         {"RebootToBootloadercb_1", "Frame10"},
                                                         {"BootloaderVersionlb", "Frame10"},
                                                         {"TgtSerialNolb", "Frame5"},
                                                         {"GetTgtStatuscb", "Frame4"},
                                                         {"TgtFwVersionlb", "Frame7"},
                                                         {"TgtFwSystemtb", "Frame6"},
                                                         {"FwFiletb", "FwFilefr"},
                                                         {"FWSystemtb", "Frame3"},
                                                         {"FwVersionlb", "Frame2"},
                                                         {"LoadFWcb", "Frame1"}};
        for (const auto& [control, frame] : nesting)
            QCOMPARE(rig.mainControl(control)->parentWidget()->objectName(), frame);
        for (const auto& [frame, outer] : QList<std::pair<QString, QString>>{{"Frame10", "Frame4"},
                                                                             {"Frame5", "Frame4"},
                                                                             {"Frame7", "Frame4"},
                                                                             {"Frame6", "Frame4"},
                                                                             {"FwFilefr", "Frame1"},
                                                                             {"Frame3", "Frame1"},
                                                                             {"Frame2", "Frame1"}})
            QCOMPARE(rig.mainControl(frame)->parentWidget()->objectName(), outer);
        QCOMPARE(rig.mainControl<QGroupBox>("Statusfr")->toolTip(),
                 QStringLiteral("Click 'Connect To Target' to read last error message for failures."));
        QCOMPARE(rig.main().findChild<QMenu*>("mnuFile")->title(), QStringLiteral("File"));
        QCOMPARE(rig.main().findChild<QAction*>("mnuExit")->text(), QStringLiteral("Exit"));
        QCOMPARE(rig.main().findChild<QMenu*>("mnuWindow")->title(), QStringLiteral("&Window"));
        QCOMPARE(rig.main().findChild<QAction*>("mnuCommsLink")->text(), QStringLiteral("&Comms Link"));
    }

    void connectFillsBothWindows() {
        WindowRig rig;
        giveIdentity(rig.module);
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);

        QCOMPARE(rig.statusLines(), (QStringList{"ID Request OK.", "ID Request OK."}));
        QCOMPARE(rig.mainText("TgtFwSystemtb"), QStringLiteral("Solvane : PWM (FF)"));
        QCOMPARE(rig.mainText("TgtFwVersionlb"), QStringLiteral("2:07"));
        QCOMPARE(rig.mainText("TgtSerialNolb"), QStringLiteral("010A-1234:000000"));
        QCOMPARE(rig.mainText("BootloaderVersionlb"), QStringLiteral("1:05[03]"));
        QCOMPARE(rig.mainText("ErrorCodelb"), QStringLiteral("InvParam"));

        const QStringList idBlock{"$5A", "$01", "$0A", "$34", "$12", "$00", "$00", "$00"};
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

    void timeOutKeepsThePreviousIdentity() {
        WindowRig rig;
        giveIdentity(rig.module);
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);
        rig.module.identity.system = 17;
        rig.module.faults.unanswered.insert(16);
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);
        QCOMPARE(rig.statusLines(), (QStringList{"No response.", "No response."}));
        QCOMPARE(rig.mainText("TgtFwSystemtb"), QStringLiteral("Solvane : PWM (FF)"));
        QCOMPARE(rig.adminText("Systemlb"), QStringLiteral("Solvane"));
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

    void adminGesture_data() {
        QTest::addColumn<bool>("adminOption");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no --admin, Ctrl") << false << int(Qt::ControlModifier) << false;
        QTest::newRow("no --admin, plain") << false << int(Qt::NoModifier) << false;
        QTest::newRow("--admin, plain") << true << int(Qt::NoModifier) << false;
        QTest::newRow("--admin, Shift") << true << int(Qt::ShiftModifier) << false;
        QTest::newRow("--admin, Ctrl") << true << int(Qt::ControlModifier) << true;
    }
    void adminGesture() {
        QFETCH(bool, adminOption);
        QFETCH(int, modifiers);
        QFETCH(bool, shown);
        WindowRig rig(adminOption);
        QTest::mouseClick(rig.mainControl("TgtFwSystemtb"), Qt::LeftButton, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(rig.admin().isVisible(), shown);
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

    void commsLinkMenuShowsTheLinkWindow() {
        WindowRig rig;
        rig.main().findChild<QAction*>("mnuCommsLink")->trigger();
        QVERIFY(rig.comms().isVisible());
    }

    void firmwareFilePane_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("system");
        QTest::addColumn<int>("subSystem");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<QString>("fileText");
        QTest::addColumn<QString>("systemText");
        QTest::addColumn<QString>("versionText");
        const QString forty(40, QLatin1Char('f'));
        QTest::newRow("40 characters whole") << forty << 2 << 1 << 2 << 7 << forty << "MERLAX Linkbay"
                                             << "2.07";
        QTest::newRow("41 characters: the last 40")
            << QStringLiteral("X") + forty << 17 << 2 << 1 << 12 << forty << "MERLAX 1-Axis BLD"
            << "1.12";
        QTest::newRow("unnamed sub-system keeps the text") << "a.fw" << 1 << 2 << 0 << 5 << "a.fw"
                                                           << ""
                                                           << "0.05";
    }
    void firmwareFilePane() {
        QFETCH(QString, path);
        QFETCH(int, system);
        QFETCH(int, subSystem);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(QString, fileText);
        QFETCH(QString, systemText);
        QFETCH(QString, versionText);
        WindowRig rig;
        rig.main().ShowFirmwareFileInfo(path, qint16(system), qint16(subSystem), qint16(major),
                                        qint16(minor));
        QCOMPARE(rig.mainText("FwFiletb"), fileText);
        QCOMPARE(rig.mainText("FWSystemtb"), systemText);
        QCOMPARE(rig.mainText("FwVersionlb"), versionText);
        // A later file whose sub-system has no name leaves the system text as it was.
        rig.main().ShowFirmwareFileInfo(path, 1, 17, qint16(major), qint16(minor));
        QCOMPARE(rig.mainText("FWSystemtb"), systemText);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"

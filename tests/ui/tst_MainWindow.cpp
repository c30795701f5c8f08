#include "CommsLink.h"
#include "WindowRig.h"

#include <QAction>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>

namespace {
// The status lines as they read halfway through the module's reply delay,
// then after the operation.
QStringList statusSequence(WindowRig& rig, QPushButton* button, int delayMs = 150) {
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
        QVERIFY(rig.app->core().link().portOK());
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

    // Each waiting button runs its operation and shows its texts in both
    // status lines; the outcomes themselves are the operations' tests.
    void waitingButtons_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("wire");
        QTest::addColumn<QString>("during");
        QTest::addColumn<QString>("after");
        QTest::newRow("Connect to Target") << "main"
                                           << "GetTgtStatuscb"
                                           << "5a 10 10"
                                           << "Requesting Target ID"
                                           << "ID Request OK.";
        QTest::newRow("Erase") << "main"
                               << "Erasecb"
                               << "5a 11 11"
                               << "Erasing ...."
                               << "OK";
        QTest::newRow("Restore") << "main"
                                 << "RestoreSercb"
                                 << "5a 17 17"
                                 << ""
                                 << "Restore OK.";
        QTest::newRow("Read") << "admin"
                              << "Readidcb"
                              << "5a 10 10"
                              << "Requesting Target ID"
                              << "ID Request OK.";
        QTest::newRow("Erase Target") << "admin"
                                      << "Erasecb"
                                      << "5a 11 11"
                                      << "Erasing ...."
                                      << "OK";
        QTest::newRow("Wipe Target") << "admin"
                                     << "WipeTgtcb"
                                     << "5a 1a 1a"
                                     << "Wiping ...."
                                     << "OK - Wiped";
    }
    void waitingButtons() {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(QString, wire);
        QFETCH(QString, during);
        QFETCH(QString, after);
        WindowRig rig;
        auto* b =
            window == "main" ? rig.mainControl<QPushButton>(button) : rig.adminControl<QPushButton>(button);
        QCOMPARE(statusSequence(rig, b), (QStringList{during, during, after, after}));
        QCOMPARE(rig.module.heardFrames().size(), 1);
        QCOMPARE(rig.module.heardFrames()[0].bytes.toHex(' '), wire.toLatin1());
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
        QVERIFY(rig.app->core().link().ResetBaudRateTmr.isActive());
        QSignalSpy reset(&rig.app->core().link().ResetBaudRateTmr, &QTimer::timeout);
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

    // While an operation runs every input of every window is locked: buttons,
    // port buttons, clickable labels and text entries. The menus stay.
    void inputsAreLockedWhileWaiting() {
        WindowRig rig(true);
        rig.module.faults.replyDelayMs = 150;
        QList<QWidget*> inputs;
        for (QWidget* window : {static_cast<QWidget*>(&rig.main()), static_cast<QWidget*>(&rig.admin()),
                                static_cast<QWidget*>(&rig.comms())})
            for (QWidget* w : window->findChildren<QWidget*>())
                if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                    qobject_cast<ClickableLabel*>(w))
                    inputs << w;
        QVERIFY(inputs.size() > 60);
        QStringList enabledDuring;
        bool menusDuring = false;
        QTimer::singleShot(60, [&] {
            for (QWidget* w : inputs)
                if (w->isEnabled())
                    enabledDuring << w->objectName();
            menusDuring = rig.main().findChild<QAction*>("mnuExit")->isEnabled() &&
                          rig.main().findChild<QAction*>("mnuCommsLink")->isEnabled();
            // A label's input box cannot be opened meanwhile.
            QTest::mouseClick(rig.adminControl("AppVersionlb"), Qt::LeftButton);
            QTest::mouseClick(rig.commsControl("CommsPortob_3"), Qt::LeftButton);
        });
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);
        QCOMPARE(enabledDuring, QStringList{});
        QVERIFY(menusDuring);
        QVERIFY(rig.dialogs.questions.isEmpty());
        QCOMPARE(rig.app->core().link().selectedPort(), 10);
        for (QWidget* w : inputs)
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }

    void moduleVanishesDuringAnErase() {
        if (!CanHangUpLines())
            QSKIP("hanging up a line needs CAP_SYS_ADMIN");
        WindowRig rig;
        rig.module.faults.replyDelayMs = 1000;
        QTimer::singleShot(100, &rig.module, [&] { rig.module.hangUp(); });
        QTest::mouseClick(rig.mainControl<QPushButton>("Erasecb"), Qt::LeftButton);
        QCOMPARE(rig.statusLines(), (QStringList{"No response.", "No response."}));
        QTRY_COMPARE(rig.dialogs.criticals.size(), 1);
        QCOMPARE(rig.dialogs.criticals[0].title, QStringLiteral("Comms Port"));
        QVERIFY(rig.dialogs.criticals[0].text.startsWith(QStringLiteral("Error reading from comms port: ")));
        QVERIFY(rig.mainControl("Erasecb")->isEnabled());
        QVERIFY(!rig.app->core().link().portOK());
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
        QVERIFY(!rig.app->core().link().portOpen());
        QCOMPARE(rig.mainText("Statustb"), QStringLiteral("No response."));
        QVERIFY(!rig.app->core().exchange().operationActive());
    }

    void exitMenuClosesThePort() {
        WindowRig rig(true);
        QTest::mouseClick(rig.mainControl("TgtFwSystemtb"), Qt::LeftButton, Qt::ControlModifier);
        rig.main().findChild<QAction*>("mnuExit")->trigger();
        QVERIFY(!rig.main().isVisible());
        QVERIFY(!rig.admin().isVisible());
        QVERIFY(!rig.app->core().link().portOpen());
    }

    // The firmware file pane shows what a loaded file is for; a name the
    // table does not know leaves the system text as it was.
    void firmwareFilePane() {
        QTemporaryDir folder;
        QVERIFY(folder.path().size() < 36);
        const auto pathOf = [&](int length) {
            return folder.path() + "/" + QString(length - folder.path().size() - 1, QLatin1Char('f'));
        };
        struct Case {
            QString path;
            QByteArray header;
            QString fileText, systemText, versionText;
        };
        const Case cases[] = {
            {pathOf(40), "02010000070201003b0d0a", pathOf(40), "MERLAX Linkbay", "2.07"},
            {pathOf(41), "11020000000c00003b0d0a", pathOf(41).right(40), "MERLAX 1-Axis BLD", "12.00"},
            {pathOf(42), "01020000050000003b0d0a", pathOf(42).right(40), "MERLAX 1-Axis BLD", "0.05"}};
        WindowRig rig;
        for (const Case& c : cases) {
            QFile file(c.path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::fromHex(c.header));
            file.close();
            rig.dialogs.files << c.path;
            QTest::mouseClick(rig.mainControl<QPushButton>("LoadFWcb"), Qt::LeftButton);
            QCOMPARE(rig.mainText("FwFiletb"), c.fileText);
            QCOMPARE(rig.mainText("FWSystemtb"), c.systemText);
            QCOMPARE(rig.mainText("FwVersionlb"), c.versionText);
            QCOMPARE(rig.mainText("Statustb"), QStringLiteral("Firmware file loaded successfully."));
        }
        QCOMPARE(rig.dialogs.fileDialogs.size(), 3);
        rig.dialogs.files << QString(); // Cancel changes nothing
        QTest::mouseClick(rig.mainControl<QPushButton>("LoadFWcb"), Qt::LeftButton);
        QCOMPARE(rig.mainText("FwFiletb"), pathOf(42).right(40));
    }

    // Load, connect, program, reboot: the highlights lead the way, the
    // progress bar follows the pages, and Ctrl programs a file for another module.
    void programmingFromTheWindow() {
        QTemporaryDir folder;
        const QString path = folder.filePath("other.fw");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromHex("0101000005020000"
                                       "3b0d0a")); // system 1, sub-system 1, mask 0
        file.close();
        WindowRig rig;
        // Green buttons as "G", grey ones as "-": Load, Connect, Program, Reboot.
        const auto highlights = [&] {
            QString seen;
            for (const char* button : {"LoadFWcb", "GetTgtStatuscb", "ProgramFwcb", "Rebootcb"})
                seen += ButtonColour(rig.mainControl<QPushButton>(QLatin1String(button))) == QColor(0, 255, 0)
                            ? QLatin1Char('G')
                            : QLatin1Char('-');
            return seen;
        };
        QCOMPARE(highlights(), QStringLiteral("GG--"));
        rig.dialogs.files << path;
        QTest::mouseClick(rig.mainControl<QPushButton>("LoadFWcb"), Qt::LeftButton);
        QCOMPARE(highlights(), QStringLiteral("-G--"));
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);
        QCOMPARE(highlights(), QStringLiteral("--G-")); // system 1 matches, mask 0: any sub-system

        rig.module.identity.system = 2;
        QTest::mouseClick(rig.mainControl<QPushButton>("GetTgtStatuscb"), Qt::LeftButton);
        QCOMPARE(highlights(), QStringLiteral("----"));
        QTest::mouseClick(rig.mainControl<QPushButton>("ProgramFwcb"), Qt::LeftButton);
        QCOMPARE(rig.mainText("Statustb"), QStringLiteral("Firmware is not for this module"));
        QTest::mouseClick(rig.mainControl<QPushButton>("ProgramFwcb"), Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(rig.mainText("Statustb"), QStringLiteral("Program complete.")); // 0 pages: erase only
        QCOMPARE(highlights(), QStringLiteral("---G"));
        auto* bar = rig.mainControl<QProgressBar>("ProgramProgressbar");
        QCOMPARE(bar->maximum(), 0);
        rig.dialogs.files << path;
        QTest::mouseClick(rig.mainControl<QPushButton>("LoadFWcb"), Qt::LeftButton);
        QCOMPARE(highlights(), QStringLiteral("----")); // Reboot grey after a load
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"

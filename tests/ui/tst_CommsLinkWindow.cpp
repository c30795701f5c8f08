#include "CommsLink.h"
#include "WindowRig.h"

#include <QRadioButton>

class TestCommsLinkWindow : public QObject {
    Q_OBJECT
private slots:
    void portButtons() {
        WindowRig rig;
        QCOMPARE(rig.comms().windowTitle(), QStringLiteral("Comms Link"));
        for (int i = 0; i < 18; ++i) {
            auto* button = rig.commsControl<QRadioButton>(ArrayName("CommsPortob", i));
            QCOMPARE(button->text(), QString::number(i + 1));
            QCOMPARE(button->toolTip(), CommsLink::deviceForPort(i + 1));
            QCOMPARE(button->isChecked(), i == 9);
        }
        QCOMPARE(rig.commsControl("CommsPortob_9")->toolTip(), rig.module.devicePath());
        QCOMPARE(rig.commsControl<QPushButton>("RescanCOMportscb")->text(), QStringLiteral("Scan"));
        QCOMPARE(rig.commsControl("RescanCOMportscb")->toolTip(),
                 QStringLiteral("Scan and show available COM ports"));
        QCOMPARE(rig.commsControl<QLabel>("ScanMsglb")->text(), QStringLiteral("Please wait ..."));
    }

    void clickingAPortOpensIt() {
        VirtualModule other;
        QVERIFY(other.start());
        WindowRig rig;
        MapPort(4, other.devicePath());
        rig.comms().show();
        QTest::mouseClick(rig.commsControl("CommsPortob_3"), Qt::LeftButton);
        QCOMPARE(rig.app->core().link().selectedPort(), 4);
        QTest::mouseClick(rig.mainControl("GetTgtStatuscb"), Qt::LeftButton);
        QCOMPARE(other.heardFrames().size(), 1);
        QTest::mouseClick(rig.commsControl("CommsPortob_5"), Qt::LeftButton); // missing
        QCOMPARE(rig.dialogs.criticals.size(), 1);
        QVERIFY(rig.dialogs.criticals[0].text.startsWith(QStringLiteral("Error opening comms port 6 : ")));
    }

    void scanShowsFoundPortsInGreen() {
        VirtualModule com3;
        QVERIFY(com3.start());
        WindowRig rig;
        MapPort(3, com3.devicePath());
        rig.comms().show();
        bool messageShown = false;
        connect(&rig.app->core().link(), &CommsLink::scanStarted, this,
                [&] { messageShown = rig.commsControl("ScanMsglb")->isVisible(); });
        QTest::mouseClick(rig.commsControl("RescanCOMportscb"), Qt::LeftButton);
        for (int i = 0; i < 18; ++i) {
            auto* button = rig.commsControl<QRadioButton>(ArrayName("CommsPortob", i));
            const bool found = i == 2 || i == 9;
            QCOMPARE(button->isVisible(), found);
            QCOMPARE(button->palette().color(QPalette::WindowText),
                     found ? QColor(0, 255, 0) : QColor(192, 192, 192));
        }
        QVERIFY(messageShown); // "Please wait ..." while the scan ran
        QVERIFY(!rig.commsControl("ScanMsglb")->isVisible());
        QVERIFY(rig.app->core().link().portOK()); // COM10 reopened after the scan

        // A port the scan did not find leads to the first one it did.
        rig.app->core().link().SelectCommsPort(5);
        QVERIFY(rig.commsControl<QRadioButton>("CommsPortob_2")->isChecked());
        QCOMPARE(rig.app->core().link().selectedPort(), 3);
    }

    void closeBoxOnlyHides() {
        WindowRig rig;
        rig.comms().show();
        rig.comms().close();
        QVERIFY(!rig.comms().isVisible());
        QVERIFY(rig.app->core().link().portOK());
        rig.main().findChild<QAction*>("mnuCommsLink")->trigger();
        QVERIFY(rig.comms().isVisible());
        QVERIFY(rig.commsControl<QRadioButton>("CommsPortob_9")->isChecked());
    }
};

QTEST_MAIN(TestCommsLinkWindow)
#include "tst_CommsLinkWindow.moc"

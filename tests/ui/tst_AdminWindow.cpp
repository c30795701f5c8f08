#include "FileDialogs.h"
#include "QtDialogs.h"
#include "WindowRig.h"

#include <QAction>
#include <QLineEdit>

class TestAdminWindow : public QObject {
    Q_OBJECT
private slots:
    void versionEditor_data() {
        QTest::addColumn<QList<std::optional<QString>>>("answers");
        QTest::addColumn<QString>("shown");
        using Answers = QList<std::optional<QString>>;
        QTest::newRow("both cancelled") << Answers{std::nullopt, std::nullopt} << "2:07";
        QTest::newRow("both emptied") << Answers{QString(), QString()} << "2:07";
        QTest::newRow("major cancelled, minor set") << Answers{std::nullopt, QString("9")} << "2:09";
        QTest::newRow("0 and 256 leave it") << Answers{QString("0"), QString("256")} << "2:07";
        QTest::newRow("255 is allowed") << Answers{QString("255"), QString("7")} << "255:07";
        QTest::newRow("halves to even") << Answers{QString("2.5"), QString("3.5")} << "2:04";
        QTest::newRow("text reads as 0") << Answers{QString("abc"), QString("x1")} << "2:07";
        QTest::newRow("leading number") << Answers{QString(" 3 major"), QString("12.4")} << "3:12";
        QTest::newRow("huge") << Answers{QString("1e30"), QString("-1")} << "2:07";
    }
    void versionEditor() {
        QFETCH(QList<std::optional<QString>>, answers);
        QFETCH(QString, shown);
        WindowRig rig;
        rig.app->core().target().RequestTargetID(); // version 2:07
        rig.dialogs.answers = answers;
        QTest::mouseClick(rig.adminControl("AppVersionlb"), Qt::LeftButton);

        QCOMPARE(rig.dialogs.questions.size(), 2); // the second question is always asked
        QCOMPARE(rig.dialogs.questions[0].title, QStringLiteral("Bootloader Parameter Entry"));
        QCOMPARE(rig.dialogs.questions[0].prompt, QStringLiteral("Enter new MAJOR version number"));
        QCOMPARE(rig.dialogs.questions[0].initialText, QStringLiteral("2"));
        QCOMPARE(rig.dialogs.questions[1].prompt, QStringLiteral("Enter new MINOR version number"));
        QCOMPARE(rig.dialogs.questions[1].initialText, QStringLiteral("7"));
        QCOMPARE(rig.adminText("AppVersionlb"), shown);
        QCOMPARE(rig.mainText("TgtFwVersionlb"), shown);

        // The next read brings the module's own version back.
        rig.app->core().target().RequestTargetID();
        QCOMPARE(rig.adminText("AppVersionlb"), QStringLiteral("2:07"));
    }

    void maxSerialNumber_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<int>("value");
        QTest::newRow("cancel") << std::optional<QString>() << 0;
        QTest::newRow("empty") << std::optional<QString>(QString()) << 0;
        QTest::newRow("whole") << std::optional<QString>("500") << 500;
        QTest::newRow("half to even") << std::optional<QString>("122.5") << 122;
        QTest::newRow("leading number") << std::optional<QString>("  42abc") << 42;
        QTest::newRow("text") << std::optional<QString>("abc") << 0;
        QTest::newRow("beyond 16 bits") << std::optional<QString>("99999") << 32767;
    }
    void maxSerialNumber() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(int, value);
        WindowRig rig;
        rig.dialogs.answers = {answer};
        QCOMPARE(int(rig.admin().EnterMaxSerialNo()), value);
        QCOMPARE(rig.dialogs.questions[0].title, QStringLiteral("Serial Number Entry"));
        QCOMPARE(rig.dialogs.questions[0].prompt, QStringLiteral("Enter maximum serial number"));
        QCOMPARE(rig.dialogs.questions[0].initialText, QStringLiteral("0"));
    }

    // Each clickable label asks its own question and takes an answer in
    // range; the values' own rules are the core's tests.
    void labelsAskAndShow_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QString>("shown"); // label:text after the answer
        const QString header =
            "Enter new value (0..255)(Mask:ls4=serial, ms4=subsys, 0=any, 1=TgtMustBe>=Header, "
            "2=TgtMustBe<=Header, $F=TgtMust=Header";
        QTest::newRow("mask") << "EncIDlb_4"
                              << "255" << header << "34"
                              << "EncIDlb_4:$FF";
        QTest::newRow("mask out of range") << "EncIDlb_4"
                                           << "256" << header << "34"
                                           << "EncIDlb_4:$22";
        QTest::newRow("pages") << "UploadPageslb"
                               << "256"
                               << "Enter pages to upload (8K=32, 16K=64, 32K=128, 64K=256)"
                               << "120"
                               << "UploadPageslb:256";
        QTest::newRow("pages out of range") << "UploadPageslb"
                                            << "0"
                                            << "Enter pages to upload (8K=32, 16K=64, 32K=128, 64K=256)"
                                            << "120"
                                            << "UploadPageslb:120";
        QTest::newRow("serial byte") << "SetSeriallb_2"
                                     << "10"
                                     << "Enter new value (0..255) "
                                     << "1"
                                     << "SetSeriallb_2:$0A";
        QTest::newRow("next serial") << "NewSeriallb"
                                     << "65535"
                                     << "Enter new serial number"
                                     << "1"
                                     << "SetSeriallb_4:$FF";
        QTest::newRow("next serial out of range") << "NewSeriallb"
                                                  << "65536"
                                                  << "Enter new serial number"
                                                  << "1"
                                                  << "NewSeriallb:1";
        QTest::newRow("preset 0") << "QuickSetcb_0"
                                  << "300"
                                  << "Enter maximum serial number"
                                  << "0"
                                  << "EncIDlb_2:$2C";
    }
    void labelsAskAndShow() {
        QFETCH(QString, label);
        QFETCH(QString, answer);
        QFETCH(QString, prompt);
        QFETCH(QString, initial);
        QFETCH(QString, shown);
        WindowRig rig;
        rig.dialogs.answers = {answer};
        QTest::mouseClick(rig.adminControl(label), Qt::LeftButton);
        QCOMPARE(rig.dialogs.questions.size(), 1);
        QCOMPARE(rig.dialogs.questions[0].prompt, prompt);
        QCOMPARE(rig.dialogs.questions[0].initialText, initial);
        QCOMPARE(rig.adminText(shown.section(':', 0, 0)), shown.section(':', 1));
    }

    // The capture pane at start-up, and the file name rule of its save dialog.
    void capturePane() {
        WindowRig rig;
        QStringList header;
        for (int i = 0; i < 6; ++i)
            header << rig.adminText(ArrayName("EncIDlb", i));
        QCOMPARE(header.join(' '), QStringLiteral("$01 $0B $00 $00 $22 $00"));
        QCOMPARE(rig.adminText("EncFwUploadProgresslb"), QStringLiteral("0/120"));
        QStringList serial;
        for (int i = 0; i < 8; ++i)
            serial << rig.adminText(ArrayName("SetSeriallb", i));
        QCOMPARE(serial.join(' '), QStringLiteral("$5A $01 $01 $01 $00 $00 $00 $00"));
        rig.dialogs.files << "/fw/master" << QString();
        QTest::mouseClick(rig.adminControl("FWFileNamelb"), Qt::LeftButton);
        QCOMPARE(rig.adminText("FWFileNamelb"), QStringLiteral("/fw/master.fw"));
        QTest::mouseClick(rig.adminControl("FWFileNamelb"), Qt::LeftButton); // Cancel keeps it
        QCOMPARE(rig.adminText("FWFileNamelb"), QStringLiteral("/fw/master.fw"));
        QCOMPARE(rig.dialogs.fileDialogs,
                 (QStringList{"Encrypted Firmware File Select", "Encrypted Firmware File Select"}));
    }

    // Hiding by "Close" or by the close box keeps every value; status texts
    // still reach both windows.
    void hidingKeepsTheWindow_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Close menu") << false;
        QTest::newRow("close box") << true;
    }
    void hidingKeepsTheWindow() {
        QFETCH(bool, closeBox);
        WindowRig rig(true);
        QTest::mouseClick(rig.mainControl("TgtFwSystemtb"), Qt::LeftButton, Qt::ControlModifier);
        QVERIFY(rig.admin().isVisible());
        rig.app->core().target().RequestTargetID();
        rig.adminControl<QLineEdit>("Memolb")->setText(QStringLiteral("batch 7"));
        QWidget* before = rig.adminControl("Memolb");
        if (closeBox)
            rig.admin().close();
        else
            rig.admin().findChild<QAction*>("mnuClose")->trigger();
        QVERIFY(!rig.admin().isVisible());
        rig.module.faults.unanswered.insert(26);
        QTest::mouseClick(rig.mainControl("Erasecb"), Qt::LeftButton);
        QCOMPARE(rig.statusLines(), (QStringList{"OK", "OK"}));
        QTest::mouseClick(rig.mainControl("TgtFwSystemtb"), Qt::LeftButton, Qt::ControlModifier);
        QVERIFY(rig.admin().isVisible());
        QCOMPARE(rig.adminControl("Memolb"), before);
        QCOMPARE(rig.adminControl<QLineEdit>("Memolb")->text(), QStringLiteral("batch 7"));
        QCOMPARE(rig.adminText("AppVersionlb"), QStringLiteral("2:07"));
    }

    void fileDialogSettings() {
        const FileDialogSettings fw = FileDialogs::FWFileSelect();
        const FileDialogSettings ser = FileDialogs::SerialDBFileSelect();
#ifndef Q_OS_WIN
        QCOMPARE(ser.initialFile, QDir::home().filePath(QStringLiteral("Bootloader/Serials/Default.ser")));
        QCOMPARE(fw.initialFolder, QDir::home().filePath(QStringLiteral("Firmware")));
#endif
        QCOMPARE(QtDialogs::NameFilters(ser.filter),
                 (QStringList{"Serial No DB Files (*.ser)", "All Files (*.*)"}));
        QCOMPARE(QtDialogs::NameFilters(FileDialogs::FirmwareFileSel().filter),
                 (QStringList{"Firmware files Files (*.fw)", "All Files (*.*)"}));
    }
};

QTEST_MAIN(TestAdminWindow)
#include "tst_AdminWindow.moc"

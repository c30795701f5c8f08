// The three windows, clicked through their object names, with the whole
// program on COM10 and a virtual module on the other side.

#include "BootAdmin.h"
#include "BootloaderApp.h"
#include "BootloaderMain.h"
#include "CommsLinkWindow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "FileDialogs.h"
#include "ModuleRig.h"
#include "QtDialogs.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>

namespace {
// Dialogs answered by the test: input boxes take their answers from a queue
// (nothing = Cancel); everything asked is recorded.
struct ScriptedDialogs : Dialogs {
    void critical(const QString& title, const QString& text) override { criticals << title + ": " + text; }
    std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                    const QString& initial) override {
        questions << join(title, prompt, initial);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    QString openFile(const FileDialogSettings& settings) override {
        fileDialogs << settings.title;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString saveFile(const FileDialogSettings& settings) override { return openFile(settings); }

    QStringList criticals, fileDialogs, files;
    QStringList questions; // "title | prompt | initial text"
    QList<std::optional<QString>> answers;
};

// "G" for green, "-" for grey.
QString mark(const QColor& colour) {
    return colour == QColor(0, 255, 0) ? "G" : colour == QColor(192, 192, 192) ? "-" : "";
}

struct WindowRig {
    explicit WindowRig(bool admin = false) {
        if (!module.start())
            qFatal("no virtual module");
        app = std::make_unique<BootloaderApp>(
            dialogs, BootloaderApp::Options{admin, ModuleAndCore::optionsFor(module, fastTimings())});
        app->start();
    }
    BootloaderMain& main() { return app->mainWindow(); }
    BootAdmin& admin() { return app->adminWindow(); }
    CommsLinkWindow& comms() { return app->commsLinkWindow(); }
    CommsLink& link() { return app->core().link(); }

    // A control by its object name: in the main window, else the admin
    // window, else the comms window; "admin:<name>" in the admin window.
    template <typename T = QWidget> T* control(const QString& name) {
        const bool admin = name.startsWith("admin:");
        for (QWidget* window : {(QWidget*)&main(), (QWidget*)&this->admin(), (QWidget*)&comms()})
            if (T* found = window->findChild<T*>(name.mid(admin ? 6 : 0));
                found && (!admin || window == &this->admin()))
                return found;
        qFatal("no control %s", qPrintable(name));
    }
    // Label texts joined by blanks; "X*n" stands for X_0..X_n-1.
    QString text(const QStringList& names) {
        QStringList texts;
        for (const QString& name : names)
            for (int i = 0, n = name.section('*', 1).toInt(); i < std::max(n, 1); ++i)
                texts << control<QLabel>(n ? arrayName(name.section('*', 0, 0), i) : name)->text();
        return texts.join(' ');
    }
    // Both status lines, main window first.
    QStringList statusLines() { return {text({"Statustb"}), text({"admin:Statustb"})}; }
    void click(const QString& name, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(control(name), Qt::LeftButton, modifiers);
    }
    void trigger(QWidget& window, const char* action) { window.findChild<QAction*>(action)->trigger(); }
    // Load, Connect, Program, Reboot.
    QString highlights() {
        QString seen;
        for (const char* button : {"LoadFWcb", "GetTgtStatuscb", "ProgramFwcb", "Rebootcb"})
            seen += mark(buttonColour(control<QPushButton>(button)));
        return seen;
    }
    // Each port button as its text, with "*" when checked, "+" when shown, and its colour.
    QString ports() {
        QStringList ports;
        for (int i = 0; i < 18; ++i) {
            auto* button = control<QRadioButton>(arrayName("CommsPortob", i));
            ports << button->text() + (button->isChecked() ? "*" : "") + (button->isVisible() ? "+" : "") +
                         mark(button->palette().color(QPalette::WindowText));
        }
        return ports.join(' ');
    }

    ScriptedDialogs dialogs;
    VirtualModule module;
    std::unique_ptr<BootloaderApp> app;
};

const QString kMaskPrompt =
    "Enter new value (0..255)(Mask:ls4=serial, ms4=subsys, 0=any, 1=TgtMustBe>=Header, "
    "2=TgtMustBe<=Header, $F=TgtMust=Header";
const QString kPagesPrompt = "Enter pages to upload (8K=32, 16K=64, 32K=128, 64K=256)";
// An answer as written in a table: "-" for Cancel, "(empty)" for an empty entry.
std::optional<QString> answer(const QString& text) {
    return text == "-" ? std::nullopt : std::optional(text == "(empty)" ? QString() : text);
}
} // namespace

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    // The file dialogs open over the window the operator works in (in the
    // home folder's Firmware), take their filters as written, and refuse a name in a folder that does not
    // exist, staying open for another.
    void fileDialogs_data() { addRows({"capture file | fw", "serial database | ser"}); }
    void fileDialogs() {
        const bool capture = fields<1>()[0] == "fw";
        QCOMPARE(QtDialogs::nameFilters("Firmware Files (*.fw)|*.fw|All|*.*"),
                 (QStringList{"Firmware Files (*.fw)", "All (*.*)"}));
        QCOMPARE(FileDialogs::FWFileSelect().initialFile, QDir::home().filePath("Firmware/Encrypted.fw"));
        WindowRig rig(true);
        rig.admin().show();
        QApplication::setActiveWindow(&rig.admin());
        QTemporaryDir folder;
        QtDialogs dialogs;
        dialogs.setParentWindow(&rig.main());
        FileDialogSettings settings =
            capture ? FileDialogs::FWFileSelect() : FileDialogs::SerialDBFileSelect();
        settings.initialFolder = folder.path();
        QStringList refusals;
        QWidget* over = nullptr;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            over = dialog->parentWidget();
            QTimer::singleShot(0, this, [&] {
                refusals << qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->text();
                QApplication::activeModalWidget()->close();
            });
            for (const char* name : {"missing/master.fw", "master.fw"}) { // the first is refused
                dialog->selectFile(folder.filePath(name));
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        QCOMPARE(capture ? dialogs.saveFile(settings) : dialogs.openFile(settings),
                 folder.filePath("master.fw"));
        QCOMPARE(over, &rig.admin());
        QCOMPARE(refusals,
                 QStringList{folder.filePath("missing") + "\nThe folder does not exist. Check the path "
                                                          "and try again."});
    }

    void startUp() {
        WindowRig rig;
        QVERIFY(rig.main().isVisible() && !rig.admin().isVisible() && !rig.comms().isVisible());
        QVERIFY(rig.link().portOK() && rig.dialogs.criticals.isEmpty());
        QCOMPARE(rig.highlights(), "GG--"); // the buttons of the next steps are green
        QCOMPARE(rig.text({"EncIDlb*6", "EncFwUploadProgresslb", "SetSeriallb*8"}),
                 "$01 $0B $00 $00 $22 $00 0/120 $5A $01 $01 $01 $00 $00 $00 $00");
        QCOMPARE(rig.ports(), "1 2 3 4 5 6 7 8 9 10* 11 12 13 14 15 16 17 18");
        QCOMPARE(rig.control("CommsPortob_9")->toolTip(), rig.module.devicePath());
        QVERIFY(QFontInfo(rig.control("SerialRecoverytb")->font()).fixedPitch());
    }

    void connectFillsBothWindows() {
        WindowRig rig;
        rig.module.identity = sampleIdentity();
        rig.click("GetTgtStatuscb");
        QCOMPARE(rig.statusLines(), (QStringList{"ID Request OK.", "ID Request OK."}));
        QCOMPARE(rig.text({"TgtFwSystemtb", "TgtFwVersionlb", "TgtSerialNolb", "BootloaderVersionlb",
                           "ErrorCodelb"}),
                 "Solvane : PWM (FF) 2:07 010A-1234:112233 1:05[03] InvParam");
        QCOMPARE(
            rig.text({"TgtIDlb*8", "Seriallb", "Systemlb", "SubSystemlb", "cpuidlb*4",
                      "admin:BootloaderVersionlb", "AppVersionlb", "admin:ErrorCodelb"}),
            QStringLiteral(
                "$5A $01 $0A $34 $12 $11 $22 $33 4660 Solvane PWM (FF) 30 31 32 33 1:05[03] 2:07 InvParam"));
        QCOMPARE(rig.highlights(), "G---");
    }

    // Each waiting button runs its operation and shows its texts in both
    // status lines, while it waits and after; the outcomes themselves are the
    // operations' tests.
    void waitingButtons_data() {
        // clang-format off
        addRows({"Connect to Target | GetTgtStatuscb | 5a 10 10 | Requesting Target ID | ID Request OK.",
                 "Erase | Erasecb | 5a 11 11 | Erasing .... | OK",
                 "Restore | RestoreSercb | 5a 17 17 |  | Restore OK.",
                 "Read | admin:Readidcb | 5a 10 10 | Requesting Target ID | ID Request OK.",
                 "Erase Target | admin:Erasecb | 5a 11 11 | Erasing .... | OK",
                 "Wipe Target | admin:WipeTgtcb | 5a 1a 1a | Wiping .... | OK - Wiped"});
        // clang-format on
    }
    void waitingButtons() {
        const auto [button, wire, during, after] = fields<4>();
        WindowRig rig;
        rig.module.faults.replyDelayMs = 150;
        QStringList seen;
        QTimer::singleShot(50, [&] { seen << rig.statusLines(); });
        rig.click(button);
        seen << rig.statusLines();
        QCOMPARE(seen, (QStringList{during, during, after, after}));
        QCOMPARE(heardBy(rig.module), QStringList{wire});
    }

    // "Reboot" and "Enter" report nothing; "Enter" keeps the line at its speed.
    void restartButtons() {
        WindowRig rig;
        QSignalSpy heard(&rig.module, &VirtualModule::frameHeard);
        rig.click("Rebootcb");
        QTRY_VERIFY(!rig.app->core().exchange().operationActive());
        rig.click("RebootToBootloadercb_1");
        QTRY_COMPARE(heard.size(), 2);
        QCOMPARE(heard.at(1), (QVariantList{QByteArray::fromHex("5a03fe01"), 115200}));
        QCOMPARE(rig.statusLines(), (QStringList{"", ""}));
    }

    // The admin window opens on a Ctrl-click on the system label, with
    // --admin only; the label shows a hand only then. Whether --admin was
    // given, the keys held, whether the window shows.
    void adminGesture_data() {
        addRows({"without --admin | 0 | ctrl | hidden", "plain click | 1 |  | hidden",
                 "shift | 1 | shift | hidden", "ctrl-click | 1 | ctrl | shown"});
    }
    void adminGesture() {
        const auto [adminOption, keys, shown] = fields<3>();
        WindowRig rig(adminOption == "1");
        const Qt::KeyboardModifiers modifiers = keys == "ctrl"    ? Qt::ControlModifier
                                                : keys == "shift" ? Qt::ShiftModifier
                                                                  : Qt::NoModifier;
        rig.click("TgtFwSystemtb", modifiers);
        QCOMPARE(rig.admin().isVisible() ? "shown" : "hidden", shown);
        QCOMPARE(rig.control("TgtFwSystemtb")->cursor().shape() == Qt::PointingHandCursor,
                 adminOption == "1");
    }

    // The admin window fits the screen, however small, and its panes scroll:
    // "Start Upload" can be reached.
    void adminWindowFitsTheScreen() {
        WindowRig rig(true);
        rig.click("TgtFwSystemtb", Qt::ControlModifier);
        QVERIFY(QTest::qWaitForWindowExposed(&rig.admin()));
        const QRect free = rig.admin().screen()->availableGeometry();
        QVERIFY2(rig.admin().frameGeometry().height() <= free.height(),
                 qPrintable(QString::number(free.height())));
        auto* scroll = rig.admin().findChild<QScrollArea*>("AdminScroll");
        QWidget* start = rig.control("admin:StartEncFwUploadcb");
        const auto inView = [](QWidget* w) { return w->visibleRegion().boundingRect().size() == w->size(); };
        for (QWidget* shown : {rig.control("admin:Readidcb"), start}) { // the panes' top, then their end
            scroll->ensureWidgetVisible(shown);
            QVERIFY(inView(shown));
            // The last error and the status stay in view whatever is scrolled.
            QVERIFY(inView(rig.control("admin:ErrorCodelb")) && inView(rig.control("admin:Statustb")));
        }
    }

    // While an operation runs every input of every window is locked: buttons,
    // port buttons, clickable labels and text entries. The menus stay.
    void inputsAreLockedWhileWaiting() {
        WindowRig rig(true);
        rig.module.faults.replyDelayMs = 150;
        QList<QWidget*> inputs;
        for (QWidget* window : {(QWidget*)&rig.main(), (QWidget*)&rig.admin(), (QWidget*)&rig.comms()})
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
            rig.click("AppVersionlb"); // a label's input box cannot be opened meanwhile, nor a port chosen
            rig.click("CommsPortob_3");
        });
        rig.click("GetTgtStatuscb");
        QCOMPARE(enabledDuring, QStringList{});
        QVERIFY(menusDuring && rig.dialogs.questions.isEmpty());
        QCOMPARE(rig.link().selectedPort(), 10);
        for (QWidget* w : inputs)
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }

    void closingWhileWaiting() {
        WindowRig rig;
        rig.module.faults.unanswered.insert(17);
        QTimer::singleShot(100, &rig.main(), [&] { rig.main().close(); });
        QVERIFY2(msToRun([&] { rig.click("Erasecb"); }) < 1000, "the wait outlived the window");
        QVERIFY(!rig.main().isVisible() && !rig.link().portOpen());
        QCOMPARE(rig.text({"Statustb"}), "Erasing ...."); // an abandoned erase reports nothing
        QVERIFY(!rig.app->core().exchange().operationActive());
    }

    // The firmware file pane shows what a loaded file is for; a name the
    // table does not know leaves the system text as it was. The length of the
    // file's path (0: the dialog is cancelled), its header, what the pane
    // shows after a file for a 1-Axis BLD ({path} is the last 40 characters).
    void firmwareFilePane_data() {
        addRows({"40 characters shown whole | 40 | 02010000070201003b0d0a | {path} MERLAX Linkbay 2.07",
                 "41 characters, the last 40 | 41 | 11010000000c00003b0d0a | {path} MERLAX 2-Axis BLD 12.00",
                 "unknown sub-system keeps the name | 42 | 01020000050000003b0d0a | {path} MERLAX 1-Axis BLD "
                 "0.05",
                 "cancelled | 0 |  | {before} MERLAX 1-Axis BLD 2.05"});
    }
    void firmwareFilePane() {
        const auto [length, header, shown] = fields<3>();
        QTemporaryDir folder;
        const QString before = folder.filePath("bld.fw");
        const QString path = folder.path() + "/" +
                             QString(std::max<qsizetype>(length.toInt() - folder.path().size() - 1, 1), 'f');
        QVERIFY(writeFile(before, QByteArray::fromHex("11020000050200003b0d0a")) &&
                (header.isEmpty() || writeFile(path, QByteArray::fromHex(header.toLatin1()))));
        WindowRig rig;
        rig.dialogs.files << before << (length == "0" ? QString() : path);
        rig.click("LoadFWcb");
        rig.click("LoadFWcb");
        QCOMPARE(rig.text({"FwFiletb", "FWSystemtb", "FwVersionlb"}),
                 QString(shown).replace("{path}", path.right(40)).replace("{before}", before.right(40)));
    }

    // Load, connect, program, reboot: the highlights lead the way. During a
    // run of sixteen pages at the line's pace the bar and both status lines
    // move on together, ten times a second at most, and the inputs stay
    // locked. A connection that fails empties the bar; Ctrl programs a file
    // for another module.
    void programmingFromTheWindow() {
        QTemporaryDir folder;
        CaptureSettings sixteen; // firmware of the family, for any serial number
        sixteen.enterHeaderByte(4, 0);
        sixteen.enterPages(16);
        sixteen.chooseFile(folder.filePath("sixteen.fw"));
        QVERIFY(ModuleRig().operations().UploadEncryptedFirmware(sixteen).succeeded());
        WindowRig rig(true);
        const QString other = folder.filePath("other.fw"); // system 2, sub-system 1, mask 0, no pages
        QVERIFY(writeFile(other, QByteArray::fromHex("02010000050200003b0d0a")));
        rig.dialogs.files << sixteen.file << other << other;
        rig.click("LoadFWcb");
        QCOMPARE(rig.highlights(), "-G--");
        rig.click("GetTgtStatuscb");
        QCOMPARE(rig.highlights(), "--G-");
        rig.module.faults.lineRate = true; // about 25 ms a page
        QList<int> values;
        auto* bar = rig.control<QProgressBar>("ProgramProgressbar");
        const auto during = connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            const QStringList lines = rig.statusLines();
            const int page = lines[0].section(' ', 2, 2).toInt();
            QVERIFY2(lines[0] == lines[1] && page >= value - 1 && page <= value, qPrintable(lines.join('/')));
            QVERIFY(!rig.control("ProgramFwcb")->isEnabled() && !rig.control("admin:Readidcb")->isEnabled());
            values << value;
        });
        rig.click("ProgramFwcb");
        disconnect(during);
        QVERIFY2(values.size() >= 3 && values.size() <= 12 && values.last() == 16 &&
                     std::is_sorted(values.begin(), values.end()),
                 qPrintable(QString::number(values.size())));
        QCOMPARE(join(rig.statusLines().join(" / "), rig.highlights()),
                 "Program complete. / Program complete. | --GG");
        const auto shown = [bar] { return QStringLiteral("%1/%2").arg(bar->value()).arg(bar->maximum()); };
        rig.module.faults = {};
        rig.module.faults.unanswered.insert(16);
        rig.click("GetTgtStatuscb"); // a connection that fails empties the bar
        QCOMPARE(join(rig.text({"Statustb"}), shown()), "No response. | 0/1");
        rig.module.faults.unanswered.clear();
        rig.click("LoadFWcb");
        rig.click("GetTgtStatuscb");
        QCOMPARE(rig.highlights(), "----");
        rig.click("ProgramFwcb");
        QCOMPARE(rig.text({"Statustb"}), "Firmware is not for this module");
        rig.click("ProgramFwcb", Qt::ControlModifier); // no pages: the bar full, not Qt's busy animation
        QCOMPARE(join(rig.text({"Statustb"}), shown()), "Program complete. | 1/1");
        rig.click("LoadFWcb");
        QCOMPARE(join(rig.highlights(), shown()), "---- | 0/1"); // Reboot grey after a load
    }

    // Answers to the two questions ("-" is Cancel), and the version shown.
    // The error labels are not the version's: a module never read keeps them
    // as they were.
    void versionEditor_data() {
        addRows({"both cancelled | - | - | 2:07", "both emptied | (empty) | (empty) | 2:07",
                 "major cancelled, minor set | - | 9 | 2:09", "major set, minor refused | 255 | 256 | 255:07",
                 "never read | 3 | 4 | 3:04"});
    }
    void versionEditor() {
        const auto [major, minor, shown] = fields<3>();
        const bool read = QByteArray(QTest::currentDataTag()) != "never read";
        WindowRig rig;
        if (read)
            rig.app->core().target().RequestTargetID(); // version 2:07
        rig.dialogs.answers = {answer(major), answer(minor)};
        rig.click("AppVersionlb");
        QCOMPARE(rig.dialogs.questions.size(), 2); // the second question is always asked
        QCOMPARE(rig.dialogs.questions[0],
                 read ? "Bootloader Parameter Entry | Enter new MAJOR version number | 2"
                      : "Bootloader Parameter Entry | Enter new MAJOR version number | 0");
        QCOMPARE(rig.text({"AppVersionlb", "TgtFwVersionlb", "ErrorCodelb", "admin:ErrorCodelb"}),
                 shown + " " + shown + (read ? " OK OK" : "  -"));
        if (!read)
            return;
        rig.app->core().target().RequestTargetID(); // the next read brings the module's own version back
        QCOMPARE(rig.text({"AppVersionlb"}), "2:07");
    }

    // Each clickable label asks its own question and shows the answer: the
    // answer ("-" is Cancel), the prompt and initial text, then the text of
    // labels. Preset 0 asks for the highest serial number (at most 32767) and
    // takes its serial bytes from it.
    void labelsAskAndShow_data() {
        // clang-format off
        addRows({"mask | EncIDlb_4 | 255 | <mask> | 34 | EncIDlb_4 | $FF",
                 "pages | UploadPageslb | 256 | <pages> | 120 | UploadPageslb | 256",
                 "serial byte | SetSeriallb_2 | 10 | Enter new value (0..255)  | 1 | SetSeriallb_2 | $0A",
                 "next serial | NewSeriallb | 65535 | Enter new serial number | 1 | SetSeriallb_4 | $FF",
                 "preset 0 | QuickSetcb_0 | 300 | <max> | 0 | EncIDlb*4 | $01 $0A $2C $01",
                 "preset 0 cancelled | QuickSetcb_0 | - | <max> | 0 | EncIDlb*4 | $01 $0A $00 $00",
                 "preset 0 beyond 16 bits refused | QuickSetcb_0 | 32768 | <max> | 0 | EncIDlb*4 | $01 $0B $00 $00"});
        // clang-format on
    }
    void labelsAskAndShow() {
        auto [label, typed, prompt, initial, shownLabel, shown] = fields<6>();
        WindowRig rig;
        rig.dialogs.answers = {answer(typed)};
        rig.click(label);
        const QString title = prompt == "<max>" ? "Serial Number Entry" : "Bootloader Parameter Entry";
        prompt.replace("<mask>", kMaskPrompt)
            .replace("<pages>", kPagesPrompt)
            .replace("<max>", "Enter maximum serial number");
        QCOMPARE(rig.dialogs.questions, QStringList{join(title, prompt, initial)});
        QCOMPARE(rig.text({shownLabel}), shown);
    }

    // A log whose last serial number leaves no next one shows none.
    void serialLogWithoutANextNumber() {
        QTemporaryDir folder;
        QVERIFY(writeFile(folder.filePath("full.ser"), "65535," + QByteArray(91, 'x') + ";\r\n"));
        WindowRig rig(true);
        rig.dialogs.files << folder.filePath("full.ser");
        rig.click("admin:SerialDBFileNamelb");
        QCOMPARE(rig.text({"admin:NewSeriallb"}), "-");
    }

    // Hiding by "Close" or by the close box keeps every value; status texts
    // still reach both windows. The comms window's close box only hides it;
    // "Exit" closes every window and the port.
    void hidingAndExit() {
        WindowRig rig(true);
        rig.app->core().target().RequestTargetID();
        auto* memo = rig.control<QLineEdit>("Memolb");
        memo->setText(QStringLiteral("batch 7"));
        for (const bool closeBox : {false, true}) {
            rig.click("TgtFwSystemtb", Qt::ControlModifier);
            QVERIFY(rig.admin().isVisible());
            if (closeBox)
                rig.admin().close();
            else
                rig.trigger(rig.admin(), "mnuClose");
            QVERIFY(!rig.admin().isVisible());
            rig.click("Erasecb");
            QCOMPARE(rig.statusLines(), (QStringList{"OK", "OK"}));
        }
        rig.click("TgtFwSystemtb", Qt::ControlModifier);
        QVERIFY(rig.admin().isVisible());
        QCOMPARE(rig.control<QLineEdit>("Memolb"), memo);
        QCOMPARE(memo->text() + " " + rig.text({"AppVersionlb"}), "batch 7 2:07");
        rig.comms().show();
        rig.comms().close();
        QVERIFY(!rig.comms().isVisible() && rig.link().portOK());
        rig.trigger(rig.main(), "mnuCommsLink");
        QVERIFY(rig.comms().isVisible());
        rig.trigger(rig.main(), "mnuExit");
        QVERIFY(!rig.main().isVisible() && !rig.admin().isVisible() && !rig.comms().isVisible());
        QVERIFY(!rig.link().portOpen());
    }

    // The file name rule of the capture's save dialog; Cancel keeps the name.
    void captureFileName() {
        WindowRig rig;
        rig.dialogs.files << "/fw/master" << QString();
        rig.click("FWFileNamelb");
        rig.click("FWFileNamelb");
        QCOMPARE(rig.text({"FWFileNamelb"}), "/fw/master.fw");
    }

    // A port button opens its port; a scan shows the ports it found in green
    // and leads a port it did not find to the first one it did.
    void portButtons() {
        VirtualModule com3, com4;
        QVERIFY(com3.start() && com4.start());
        WindowRig rig;
        rig.link().ports().assign(3, com3.devicePath());
        rig.link().ports().assign(4, com4.devicePath());
        rig.comms().show();
        rig.click("CommsPortob_3");
        rig.click("GetTgtStatuscb");
        QCOMPARE(join(rig.link().selectedPort(), com4.heardFrames().size()), "4 | 1");
        rig.click("CommsPortob_5"); // missing
        QCOMPARE(rig.dialogs.criticals.size(), 1);
        QCOMPARE(rig.dialogs.criticals[0].left(41), "Comms Port: Error opening comms port 6 : ");
        rig.click("CommsPortob_9");
        rig.link().ports().assign(1, com4.devicePath());
        bool messageShown = false;
        connect(&rig.app->sink(), &WindowSink::coreChanged, this, [&](Change what) {
            if (what == Change::ScanStarted)
                messageShown = rig.control("ScanMsglb")->isVisible();
        });
        rig.click("RescanCOMportscb");
        QCOMPARE(rig.ports(), "1+G 2- 3+G 4+G 5- 6- 7- 8- 9- 10*+G 11- 12- 13- 14- 15- 16- 17- 18-");
        QVERIFY(messageShown &&
                !rig.control("ScanMsglb")->isVisible()); // "Please wait ..." while the scan ran
        QVERIFY(rig.link().portOK());                    // COM10 reopened after the scan
        rig.link().SelectCommsPort(5);                   // not found: the first port found instead
        QVERIFY(rig.control<QRadioButton>("CommsPortob_0")->isChecked());
        QCOMPARE(rig.link().selectedPort(), 1);
    }

    // The program as main() starts it, told to open a virtual module by its
    // path, reads the module through the main window; a port number out of
    // range is refused before any window opens. Last: it sets the style.
    void programOpensTheDeviceGiven() {
        VirtualModule module;
        QVERIFY(module.start());
        module.identity = sampleIdentity();
        QCOMPARE(runBootloader({}, {"merlax-bootloader", "--port", "19"}), 4);
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            for (QWidget* main : QApplication::topLevelWidgets())
                if (main->objectName() == "BootloaderMain" && main->isVisible()) {
                    QTest::mouseClick(main->findChild<QPushButton*>("GetTgtStatuscb"), Qt::LeftButton);
                    for (const char* label : {"Statustb", "TgtFwSystemtb", "TgtSerialNolb", "ErrorCodelb"})
                        seen << main->findChild<QLabel*>(label)->text();
                    main->close();
                }
            if (seen.isEmpty()) // no window to close: end the program all the same
                QApplication::exit(1);
        });
        QCOMPARE(runBootloader({}, {"merlax-bootloader", "--port", module.devicePath()}), 0);
        QCOMPARE(seen.join(" | "), "ID Request OK. | Solvane : PWM (FF) | 010A-1234:112233 | InvParam");
    }
};

QTEST_MAIN(TestWindows)
#include "tst_Windows.moc"

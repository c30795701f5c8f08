#include "BootloaderMain.h"

#include "CommsLinkWindow.h"
#include "Controls.h"
#include "CoreView.h"
#include "FileDialogs.h"
#include "IdentityDisplay.h"
#include "IdentityTexts.h"
#include "Operations.h"
#include "Version.h"
#include "WindowSink.h"

#include <QCloseEvent>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int kFileNameChars = 40;
}

BootloaderMain::BootloaderMain(CoreAccess core, CommsLinkWindow& commsLinkWindow, Dialogs& dialogs,
                               QWidget* parent)
    : QMainWindow(parent), Core(core), CommsWindow(commsLinkWindow), Dlg(dialogs),
      FirmwareFileSel(FileDialogs::FirmwareFileSel()) {
    setObjectName(QStringLiteral("BootloaderMain"));
    setWindowTitle(QStringLiteral("MERLAX Bootloader ") + QString::fromLatin1(kToolVersion));
    buildControls();
    buildMenus();

    connect(&Core.events, &WindowSink::coreChanged, this, [this](Change what) {
        switch (what) {
        case Change::Identity:
            showIdentity();
            ErrorCodelb->setText(displayIdentity(Core.view.identity()).lastError);
            break;
        case Change::AppVersion:
            showIdentity();
            break;
        case Change::ModuleRead:
            UpdateButtonHighlights();
            resetProgress(); // another module, the same one anew, or none
            break;
        case Change::FirmwareRead:
            setButtonColour(Rebootcb, Colours::kNormal);
            break;
        case Change::Firmware:
            ShowFirmwareFileInfo();
            UpdateButtonHighlights();
            resetProgress();
            break;
        case Change::FirmwareProgrammed:
            setButtonColour(Rebootcb, Colours::kHighlight);
            ProgramProgressbar->setValue(ProgramProgressbar->maximum()); // full also for a file of 0 pages
            break;
        default:
            break;
        }
    });

    UpdateButtonHighlights();
    setButtonColour(Rebootcb, Colours::kNormal);
    setAdminEnabled(false);
}

void BootloaderMain::buildControls() {
    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);

    // Target System Firmware
    auto* Frame4 = makeFrame(QStringLiteral("Frame4"), QStringLiteral("Target System Firmware"));
    auto* targetLayout = new QGridLayout(Frame4);
    QGroupBox* Frame6 = nullptr;
    TgtFwSystemtb = makeBoxedLabel<ClickableLabel>(Frame6, QStringLiteral("Frame6"), QStringLiteral("System"),
                                                   QStringLiteral("TgtFwSystemtb"));
    TgtFwSystemtb->setMinimumWidth(240);
    connect(TgtFwSystemtb, &ClickableLabel::clicked, this, &BootloaderMain::TgtFwSystemtb_Click);
    QGroupBox* Frame7 = nullptr;
    TgtFwVersionlb = makeBoxedLabel(Frame7, QStringLiteral("Frame7"), QStringLiteral("Current Version"),
                                    QStringLiteral("TgtFwVersionlb"));
    QGroupBox* Frame5 = nullptr;
    TgtSerialNolb = makeBoxedLabel(Frame5, QStringLiteral("Frame5"), QStringLiteral("Serial Number"),
                                   QStringLiteral("TgtSerialNolb"));
    TgtSerialNolb->setMinimumWidth(140);
    auto* Frame10 = makeFrame(QStringLiteral("Frame10"), QStringLiteral("Bootloader"));
    auto* bootLayout = new QHBoxLayout(Frame10);
    BootloaderVersionlb = makeLabel(QStringLiteral("BootloaderVersionlb"));
    BootloaderVersionlb->setMinimumWidth(70);
    RebootToBootloadercb =
        makeButton(arrayName(QStringLiteral("RebootToBootloadercb"), 1), QStringLiteral("Enter"),
                   QStringLiteral("Ask the connected system to reboot into bootloader mode. Note: "
                                  "Not all firmware supports this so it may not work."));
    bootLayout->addWidget(BootloaderVersionlb);
    bootLayout->addWidget(RebootToBootloadercb);
    GetTgtStatuscb = makeButton(QStringLiteral("GetTgtStatuscb"), QStringLiteral("Connect to Target"));
    targetLayout->addWidget(Frame6, 0, 0, 1, 2);
    targetLayout->addWidget(Frame7, 0, 2);
    targetLayout->addWidget(Frame5, 1, 0);
    targetLayout->addWidget(Frame10, 1, 1);
    targetLayout->addWidget(GetTgtStatuscb, 1, 2);

    // New Firmware
    auto* Frame1 = makeFrame(QStringLiteral("Frame1"), QStringLiteral("New Firmware"));
    auto* firmwareLayout = new QGridLayout(Frame1);
    QGroupBox* FwFilefr = nullptr;
    FwFiletb = makeBoxedLabel(FwFilefr, QStringLiteral("FwFilefr"), QStringLiteral("File"),
                              QStringLiteral("FwFiletb"));
    QGroupBox* Frame3 = nullptr;
    FWSystemtb = makeBoxedLabel(Frame3, QStringLiteral("Frame3"), QStringLiteral("System"),
                                QStringLiteral("FWSystemtb"));
    QGroupBox* Frame2 = nullptr;
    FwVersionlb = makeBoxedLabel(Frame2, QStringLiteral("Frame2"), QStringLiteral("Version"),
                                 QStringLiteral("FwVersionlb"));
    LoadFWcb = makeButton(QStringLiteral("LoadFWcb"), QStringLiteral("Load Firmware File"));
    firmwareLayout->addWidget(FwFilefr, 0, 0, 1, 3);
    firmwareLayout->addWidget(Frame3, 1, 0);
    firmwareLayout->addWidget(Frame2, 1, 1);
    firmwareLayout->addWidget(LoadFWcb, 1, 2);

    // Update, reboot, serial backup and recovery
    auto* Programfr = makeFrame(QStringLiteral("Programfr"), QStringLiteral("Update"));
    auto* programLayout = new QHBoxLayout(Programfr);
    Erasecb = makeButton(QStringLiteral("Erasecb"), QStringLiteral("Erase"),
                         QStringLiteral("Erases the program memory of the module"));
    ProgramFwcb = makeButton(QStringLiteral("ProgramFwcb"), QStringLiteral("Program Firmware"));
    programLayout->addWidget(Erasecb);
    programLayout->addWidget(ProgramFwcb);
    Rebootcb = makeButton(QStringLiteral("Rebootcb"), QStringLiteral("Reboot"),
                          QStringLiteral("Reboot the module and exit bootloader mode."));
    auto* Frame9 = makeFrame(QStringLiteral("Frame9"), QStringLiteral("Serial Backup"));
    auto* backupLayout = new QHBoxLayout(Frame9);
    RestoreSercb = makeButton(QStringLiteral("RestoreSercb"), QStringLiteral("Restore"),
                              QStringLiteral("Restores the serial number copy (in case of corruption_"));
    backupLayout->addWidget(RestoreSercb);
    auto* Frame8 = makeFrame(QStringLiteral("Frame8"), QString());
    auto* recoveryLayout = new QHBoxLayout(Frame8);
    SerialRecoverytb = new QLineEdit;
    SerialRecoverytb->setObjectName(QStringLiteral("SerialRecoverytb"));
    // Six characters read off a label: a fixed pitch keeps 0 and O, 1 and l apart.
    SerialRecoverytb->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    SerialRecoverycb = makeButton(QStringLiteral("SerialRecoverycb"), QStringLiteral("Apply"));
    recoveryLayout->addWidget(SerialRecoverytb);
    recoveryLayout->addWidget(SerialRecoverycb);

    auto* actions = new QHBoxLayout;
    actions->addWidget(Programfr);
    actions->addWidget(Rebootcb);
    actions->addWidget(Frame9);
    actions->addWidget(Frame8);

    // Last error and status
    QGroupBox* Err = nullptr;
    ErrorCodelb = makeBoxedLabel(Err, QStringLiteral("Err"), QStringLiteral("Last Error Message"),
                                 QStringLiteral("ErrorCodelb"));
    QGroupBox* Statusfr = nullptr;
    Statustb = makeBoxedLabel(Statusfr, QStringLiteral("Statusfr"), QStringLiteral("Status"),
                              QStringLiteral("Statustb"));
    Statusfr->setToolTip(
        QStringLiteral("Click 'Connect To Target' to read last error message for failures."));
    Statustb->setMinimumWidth(220);
    ProgramProgressbar = new QProgressBar;
    ProgramProgressbar->setObjectName(QStringLiteral("ProgramProgressbar"));
    resetProgress();
    Statusfr->layout()->addWidget(ProgramProgressbar);

    grid->addWidget(Frame4, 0, 0, 1, 2);
    grid->addWidget(Frame1, 1, 0, 1, 2);
    grid->addLayout(actions, 2, 0, 1, 2);
    grid->addWidget(Err, 3, 0);
    grid->addWidget(Statusfr, 3, 1);
    setCentralWidget(central);

    Operations& ops = Core.ops;
    connect(GetTgtStatuscb, &QPushButton::clicked, this, [&ops] { ops.RequestTargetID(); });
    connect(Erasecb, &QPushButton::clicked, this, [&ops] { ops.EraseTarget(); });
    connect(Rebootcb, &QPushButton::clicked, this, [&ops] { ops.Restart(); });
    // The window's only restart-into-bootloader button is element 1, which
    // keeps the line at its current speed.
    connect(RebootToBootloadercb, &QPushButton::clicked, this, [&ops] { ops.RestartIntoBootloader(false); });
    connect(RestoreSercb, &QPushButton::clicked, this, [&ops] { ops.RestoreSerialBackup(); });
    connect(LoadFWcb, &QPushButton::clicked, this, &BootloaderMain::LoadFirmwareFile);
    // The Ctrl key is sampled once, at the click: it programs a file that is
    // not for this module.
    connect(ProgramFwcb, &QPushButton::clicked, this, [&ops] {
        ops.programFirmware({QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier)});
    });
    connect(SerialRecoverycb, &QPushButton::clicked, this, [this, &ops] {
        ops.RecoverSerialNo({SerialRecoverytb->text(), RecoveryLog});
    });
}

void BootloaderMain::buildMenus() {
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction* mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);

    QMenu* mnuWindow = menuBar()->addMenu(QStringLiteral("&Window"));
    mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    QAction* mnuCommsLink = mnuWindow->addAction(QStringLiteral("&Comms Link"));
    mnuCommsLink->setObjectName(QStringLiteral("mnuCommsLink"));
    connect(mnuCommsLink, &QAction::triggered, this, [this] {
        CommsWindow.show();
        CommsWindow.raise();
    });
}

void BootloaderMain::setAdminEnabled(bool enabled) {
    AdminEnabled = enabled;
    // The hand shows only where a click does something.
    if (enabled)
        TgtFwSystemtb->setCursor(Qt::PointingHandCursor);
    else
        TgtFwSystemtb->unsetCursor();
}

void BootloaderMain::PutStatusMsg(const QString& Msg) {
    Statustb->setText(Msg);
}

void BootloaderMain::showIdentity() {
    const IdentityDisplay d = displayIdentity(Core.view.identity());
    BootloaderVersionlb->setText(d.bootloaderVersion);
    TgtFwSystemtb->setText(d.mainSystem);
    TgtFwVersionlb->setText(d.appVersion);
    TgtSerialNolb->setText(d.printedSerial);
}

void BootloaderMain::showProgress(int acknowledged, int total) {
    // A range of 0..0 would show Qt's busy animation, not a bar.
    ProgramProgressbar->setRange(0, std::max(total, 1));
    ProgramProgressbar->setValue(acknowledged);
}

void BootloaderMain::resetProgress() {
    ProgramProgressbar->setRange(0, 1);
    ProgramProgressbar->setValue(0);
}

void BootloaderMain::LoadFirmwareFile() {
    const QString name = Dlg.openFile(FirmwareFileSel);
    if (!name.isEmpty())
        Core.ops.LoadFirmwareFile(name);
}

void BootloaderMain::UpdateButtonHighlights() {
    const bool loaded = Core.view.firmwareLoaded();
    setButtonColour(LoadFWcb, loaded ? Colours::kNormal : Colours::kHighlight);
    setButtonColour(GetTgtStatuscb, Core.view.moduleRead() ? Colours::kNormal : Colours::kHighlight);
    const bool ready = loaded && Core.view.moduleRead() && Core.view.firmwareMatchesModule();
    setButtonColour(ProgramFwcb, ready ? Colours::kHighlight : Colours::kNormal);
}

void BootloaderMain::ShowFirmwareFileInfo() {
    const QString FirmwareFilename = Core.view.firmwareFile();
    const FirmwareImage& image = Core.view.firmware();
    FwFiletb->setText(FirmwareFilename.size() <= kFileNameChars ? FirmwareFilename
                                                                : FirmwareFilename.right(kFileNameChars));
    if (const auto system = FwSystemIDtoStr(image.FWSystemID, image.FWSubSystemID))
        FWSystemtb->setText(*system);
    FwVersionlb->setText(firmwareVersionText(image.FWVersionMajor, image.FWVersionMinor));
}

void BootloaderMain::TgtFwSystemtb_Click(Qt::KeyboardModifiers modifiers) {
    if ((modifiers & Qt::ControlModifier) && AdminEnabled)
        emit adminRequested();
}

void BootloaderMain::closeEvent(QCloseEvent* event) {
    if (!Closing) {
        Closing = true;
        // An operation still waiting for the module ends now, without sending
        // its next step, and returns once this handler has finished.
        emit shutdownRequested();
        CommsWindow.hide();
        emit closing();
    }
    event->accept();
    QCoreApplication::quit();
}

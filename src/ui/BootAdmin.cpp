#include "BootAdmin.h"

#include "Controls.h"
#include "FileDialogs.h"
#include "IdentityDisplay.h"
#include "Maintenance.h"
#include "OperatorNumber.h"
#include "TargetSession.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenuBar>

#include <limits>

namespace {
const QStringList kIdBlockCaptions{"Init", "Sys", "Sub", "SerL", "SerH", "#1", "#2", "#3"};
const QString kDash = QStringLiteral("-");
constexpr int kLowestVersion = 1;
constexpr int kHighestVersion = 255;
} // namespace

BootAdmin::BootAdmin(TargetSession& target, Maintenance& maintenance, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), UploadTimer(this), Target(target), Maint(maintenance), Dlg(dialogs),
      FWFileSelect(FileDialogs::FWFileSelect()), SerialDBFileSelect(FileDialogs::SerialDBFileSelect()) {
    setObjectName(QStringLiteral("BootAdmin"));
    setWindowTitle(QStringLiteral("BootloaderAdmin"));

    UploadTimer.setObjectName(QStringLiteral("UploadTimer"));
    UploadTimer.setInterval(2000);

    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);
    auto* identityArea = new QWidget;
    auto* serialArea = new QWidget;
    auto* captureArea = new QWidget;
    buildIdentityPane(identityArea);
    buildSerialPane(serialArea);
    buildCapturePane(captureArea);

    QGroupBox* fr = nullptr;
    ErrorCodelb = MakeBoxedLabel(fr, QStringLiteral("fr"), QStringLiteral("Last Error Code"),
                                 QStringLiteral("ErrorCodelb"), kDash);
    QGroupBox* Statusfr = nullptr;
    Statustb = MakeBoxedLabel(Statusfr, QStringLiteral("Statusfr"), QStringLiteral("Status"),
                              QStringLiteral("Statustb"));
    Statustb->setMinimumWidth(220);

    grid->addWidget(identityArea, 0, 0, 1, 2);
    grid->addWidget(serialArea, 1, 0, 1, 2);
    grid->addWidget(captureArea, 2, 0, 1, 2);
    grid->addWidget(fr, 3, 0);
    grid->addWidget(Statusfr, 3, 1);
    setCentralWidget(central);

    QMenu* mnuWindow = menuBar()->addMenu(QStringLiteral("Window"));
    mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    QAction* mnuClose = mnuWindow->addAction(QStringLiteral("Close"));
    mnuClose->setObjectName(QStringLiteral("mnuClose"));
    connect(mnuClose, &QAction::triggered, this, &QWidget::hide);

    connect(&Target, &TargetSession::identityUpdated, this, &BootAdmin::UpdateTargetIDPane);
}

void BootAdmin::buildIdentityPane(QWidget* area) {
    auto* outer = new QVBoxLayout(area);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* Frame4 = MakeFrame(QStringLiteral("Frame4"), QStringLiteral("Target ID"));
    outer->addWidget(Frame4);
    auto* layout = new QGridLayout(Frame4);

    Readidcb = MakeButton(QStringLiteral("Readidcb"), QStringLiteral("Read"));
    connect(Readidcb, &QPushButton::clicked, this, [this] { Target.RequestTargetID(); });

    QGroupBox* appBox = nullptr;
    AppVersionlb =
        MakeBoxedLabel<ClickableLabel>(appBox, ArrayName(QStringLiteral("Frame5"), 1),
                                       QStringLiteral("App Version"), QStringLiteral("AppVersionlb"), kDash);
    connect(AppVersionlb, &ClickableLabel::clicked, this, &BootAdmin::AppVersionlb_Click);
    QGroupBox* blBox = nullptr;
    BootloaderVersionlb = MakeBoxedLabel(
        blBox, ArrayName(QStringLiteral("Frame5"), 0), QStringLiteral("BL Version"),
        QStringLiteral("BootloaderVersionlb"), kDash,
        QStringLiteral("[xx]:bit0=Supports App Flash Write,bit1=Supports Individual Page Erase+Write"));

    auto* cpuBox = MakeFrame(ArrayName(QStringLiteral("cpuid"), 0), QStringLiteral("cpu id"));
    auto* cpuLayout = new QHBoxLayout(cpuBox);
    for (int i = 0; i < static_cast<int>(cpuidlb.size()); ++i) {
        cpuidlb[static_cast<size_t>(i)] = MakeLabel(ArrayName(QStringLiteral("cpuidlb"), i), kDash);
        cpuLayout->addWidget(cpuidlb[static_cast<size_t>(i)]);
    }

    auto* Frame3 = MakeFrame(QStringLiteral("Frame3"), QStringLiteral("Tgt ID"));
    auto* idLayout = new QGridLayout(Frame3);
    QGroupBox* box = nullptr;
    Systemlb = MakeBoxedLabel(box, ArrayName(QStringLiteral("TgtID"), 8), QStringLiteral("System"),
                              QStringLiteral("Systemlb"));
    idLayout->addWidget(box, 0, 0, 1, 3);
    SubSystemlb = MakeBoxedLabel(box, ArrayName(QStringLiteral("TgtID"), 9), QStringLiteral("Sub System"),
                                 QStringLiteral("SubSystemlb"));
    idLayout->addWidget(box, 0, 3, 1, 3);
    Seriallb = MakeBoxedLabel(box, ArrayName(QStringLiteral("TgtID"), 10), QStringLiteral("Serial No."),
                              QStringLiteral("Seriallb"));
    idLayout->addWidget(box, 0, 6, 1, 2);
    for (int i = 0; i < static_cast<int>(TgtIDlb.size()); ++i) {
        TgtIDlb[static_cast<size_t>(i)] =
            MakeBoxedLabel(box, ArrayName(QStringLiteral("TgtID"), i), kIdBlockCaptions[i],
                           ArrayName(QStringLiteral("TgtIDlb"), i), kDash);
        idLayout->addWidget(box, 1, i);
    }

    layout->addWidget(Readidcb, 0, 0);
    layout->addWidget(appBox, 0, 1);
    layout->addWidget(blBox, 0, 2);
    layout->addWidget(cpuBox, 0, 3);
    layout->addWidget(Frame3, 1, 0, 1, 4);
}

void BootAdmin::buildSerialPane(QWidget* area) {
    auto* outer = new QVBoxLayout(area);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* Frame6 = MakeFrame(QStringLiteral("Frame6"), QStringLiteral("Serial Number Allocation"));
    outer->addWidget(Frame6);
    auto* layout = new QGridLayout(Frame6);

    ProgAllcb = MakeButton(QStringLiteral("ProgAllcb"), QStringLiteral(" Prog, Log, Write FW"));
    auto* memoBox = MakeFrame(ArrayName(QStringLiteral("TgtID"), 12), QStringLiteral("Memo"));
    Memolb = new QLineEdit;
    Memolb->setObjectName(QStringLiteral("Memolb"));
    Memolb->setToolTip(QStringLiteral("12 Character memo for log file."));
    (new QVBoxLayout(memoBox))->addWidget(Memolb);
    AutoProgramSerialNocb =
        MakeButton(QStringLiteral("AutoProgramSerialNocb"), QStringLiteral("Program and Log"));
    QGroupBox* nextBox = nullptr;
    NewSeriallb =
        MakeBoxedLabel<ClickableLabel>(nextBox, ArrayName(QStringLiteral("TgtID"), 11),
                                       QStringLiteral("Next Serial No."), QStringLiteral("NewSeriallb"));
    ProgramSerialNocb = MakeButton(QStringLiteral("ProgramSerialNocb"), QStringLiteral("Prog Only"));
    QGroupBox* Frame7 = nullptr;
    SerialDBFileNamelb = MakeBoxedLabel<ClickableLabel>(Frame7, QStringLiteral("Frame7"),
                                                        QStringLiteral("Serial Number Allocation File"),
                                                        QStringLiteral("SerialDBFileNamelb"));
    auto* Frame8 = MakeFrame(QStringLiteral("Frame8"), QStringLiteral("Tgt ID/Serial Number"));
    auto* setLayout = new QHBoxLayout(Frame8);
    for (int i = 0; i < static_cast<int>(SetSeriallb.size()); ++i) {
        QString toolTip;
        if (i == 1)
            toolTip = QStringLiteral(" 1= Solvane, 10= Linkbay, 11= MERLAX System Unit");
        else if (i == 2)
            toolTip =
                QStringLiteral("1= PWM Solvane/Linkbay/SysCntrl, 2=FltC,8=AnalogSolvane,10=PWMSolvane(FF)");
        QGroupBox* box = nullptr;
        SetSeriallb[static_cast<size_t>(i)] = MakeBoxedLabel<ClickableLabel>(
            box, ArrayName(QStringLiteral("SetSerialfr"), i), kIdBlockCaptions[i],
            ArrayName(QStringLiteral("SetSeriallb"), i), kDash, toolTip);
        setLayout->addWidget(box);
    }

    layout->addWidget(ProgAllcb, 0, 0);
    layout->addWidget(AutoProgramSerialNocb, 0, 1);
    layout->addWidget(ProgramSerialNocb, 0, 2);
    layout->addWidget(nextBox, 0, 3);
    layout->addWidget(memoBox, 0, 4);
    layout->addWidget(Frame7, 1, 0, 1, 5);
    layout->addWidget(Frame8, 2, 0, 1, 5);
}

void BootAdmin::buildCapturePane(QWidget* area) {
    auto* outer = new QVBoxLayout(area);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* Frame1 =
        MakeFrame(QStringLiteral("Frame1"), QStringLiteral("Target Firmware Encryption and Upload"));
    outer->addWidget(Frame1);
    auto* layout = new QGridLayout(Frame1);

    WipeTgtcb = MakeButton(QStringLiteral("WipeTgtcb"), QStringLiteral("Wipe Target"));
    connect(WipeTgtcb, &QPushButton::clicked, this, [this] { Maint.WipeTarget(); });
    Erasecb = MakeButton(QStringLiteral("Erasecb"), QStringLiteral("Erase Target"));
    connect(Erasecb, &QPushButton::clicked, this, [this] { Maint.EraseTarget(); });

    auto* Frame10 = MakeFrame(QStringLiteral("Frame10"), QStringLiteral("Quick Set"));
    auto* quickLayout = new QGridLayout(Frame10);
    const QStringList captions{"Solvane", "Stabrix Solvane", "Cuedeck", "Stabrix", "SysC", "FltC",
                               "",        "BLD (Dual)"};
    const QString bld = QStringLiteral("Brushless Motor Drive module (5A)");
    const QStringList toolTips{
        "Standard Solvane", "Solvane hosting Stabrix Software", "", bld, "", "", bld, bld};
    for (int i = 0; i < static_cast<int>(QuickSetcb.size()); ++i) {
        QuickSetcb[static_cast<size_t>(i)] =
            MakeButton(ArrayName(QStringLiteral("QuickSetcb"), i), captions[i], toolTips[i]);
        quickLayout->addWidget(QuickSetcb[static_cast<size_t>(i)], i / 4, i % 4);
    }

    QGroupBox* progressBox = nullptr;
    EncFwUploadProgresslb =
        MakeBoxedLabel(progressBox, ArrayName(QStringLiteral("Frame2"), 7), QStringLiteral("Progress"),
                       QStringLiteral("EncFwUploadProgresslb"));
    QGroupBox* pagesBox = nullptr;
    UploadPageslb = MakeBoxedLabel<ClickableLabel>(pagesBox, ArrayName(QStringLiteral("Frame2"), 6),
                                                   QStringLiteral("Pages"), QStringLiteral("UploadPageslb"));

    auto* headerLayout = new QHBoxLayout;
    const QStringList headerCaptions{"Sys", "ID", "SerL", "SerH", "Mask", "#1"};
    for (int i = 0; i < static_cast<int>(EncIDlb.size()); ++i) {
        QString toolTip;
        if (i == 0)
            toolTip = QStringLiteral("1=Solvane, 2=Linkbay, 3=MERLAX3.3");
        else if (i == 1)
            toolTip = QStringLiteral("1=PWM/Linkbay/SysCntrl, 2=FltCntrl, 8=AnSolvane, 10=FFSolvane");
        QGroupBox* box = nullptr;
        EncIDlb[static_cast<size_t>(i)] =
            MakeBoxedLabel<ClickableLabel>(box, ArrayName(QStringLiteral("Frame2"), i), headerCaptions[i],
                                           ArrayName(QStringLiteral("EncIDlb"), i), QString(), toolTip);
        headerLayout->addWidget(box);
    }

    StartEncFwUploadcb = MakeButton(QStringLiteral("StartEncFwUploadcb"), QStringLiteral("Start Upload"));
    QGroupBox* FwFilefr = nullptr;
    FWFileNamelb = MakeBoxedLabel<ClickableLabel>(FwFilefr, QStringLiteral("FwFilefr"),
                                                  QStringLiteral("File"), QStringLiteral("FWFileNamelb"));

    layout->addWidget(WipeTgtcb, 0, 0);
    layout->addWidget(Erasecb, 0, 1);
    layout->addWidget(pagesBox, 0, 2);
    layout->addWidget(progressBox, 0, 3);
    layout->addLayout(headerLayout, 1, 0, 1, 4);
    layout->addWidget(Frame10, 2, 0, 1, 4);
    layout->addWidget(FwFilefr, 3, 0, 1, 3);
    layout->addWidget(StartEncFwUploadcb, 3, 3);
}

void BootAdmin::showStatus(const QString& text) {
    Statustb->setText(text);
}

void BootAdmin::UpdateTargetIDPane() {
    const IdentityDisplay d = DisplayIdentity(Target.identity());
    for (size_t i = 0; i < TgtIDlb.size(); ++i)
        TgtIDlb[i]->setText(d.idBlock[i]);
    Seriallb->setText(d.serialNo);
    Systemlb->setText(d.system);
    SubSystemlb->setText(d.subSystem);
    for (size_t i = 0; i < cpuidlb.size(); ++i)
        cpuidlb[i]->setText(d.cpuId[i]);
    BootloaderVersionlb->setText(d.bootloaderVersion);
    AppVersionlb->setText(d.appVersion);
    ErrorCodelb->setText(d.lastError);
}

float BootAdmin::EnterParameter(qint32 currentValue, const QString& prompt) {
    const std::optional<QString> answer =
        Dlg.InputBox(QStringLiteral("Bootloader Parameter Entry"), prompt, QString::number(currentValue));
    if (!answer || answer->isEmpty())
        return static_cast<float>(currentValue);
    return static_cast<float>(OperatorNumber::RoundHalfEven(OperatorNumber::LeadingNumber(*answer)));
}

qint16 BootAdmin::EnterMaxSerialNo() {
    const std::optional<QString> answer =
        Dlg.InputBox(QStringLiteral("Serial Number Entry"), QStringLiteral("Enter maximum serial number"),
                     QStringLiteral("0"));
    if (!answer || answer->isEmpty())
        return 0;
    // A number beyond the 16-bit range is taken as the nearest it can hold.
    const double value = OperatorNumber::RoundHalfEven(OperatorNumber::LeadingNumber(*answer));
    return static_cast<qint16>(std::clamp(value, double(std::numeric_limits<qint16>::min()),
                                          double(std::numeric_limits<qint16>::max())));
}

void BootAdmin::AppVersionlb_Click() {
    const TargetIdentity& id = Target.identity();
    qint16 major = id.AppVersionMajor;
    qint16 minor = id.AppVersionMinor;
    if (const auto x = OperatorNumber::WholeInRange(
            EnterParameter(major, QStringLiteral("Enter new MAJOR version number")), kLowestVersion,
            kHighestVersion))
        major = static_cast<qint16>(*x);
    // The second question is asked whatever became of the first.
    if (const auto y = OperatorNumber::WholeInRange(
            EnterParameter(minor, QStringLiteral("Enter new MINOR version number")), kLowestVersion,
            kHighestVersion))
        minor = static_cast<qint16>(*y);
    Target.SetAppVersion(major, minor); // redraws the pane
}

void BootAdmin::setCommandsEnabled(bool enabled) {
    for (QPushButton* button : {Readidcb, ProgAllcb, AutoProgramSerialNocb, ProgramSerialNocb, WipeTgtcb,
                                Erasecb, StartEncFwUploadcb})
        button->setEnabled(enabled);
    for (QPushButton* button : QuickSetcb)
        button->setEnabled(enabled);
}

void BootAdmin::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}

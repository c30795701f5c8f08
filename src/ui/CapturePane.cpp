#include "CapturePane.h"

#include "CapturePresets.h"
#include "Controls.h"
#include "CoreView.h"
#include "Dialogs.h"
#include "GeneralUtilities.h"
#include "NumberEntry.h"
#include "Operations.h"
#include "WindowSink.h"

#include <QGridLayout>
#include <QProgressBar>

namespace {
const QString kHeaderPrompt = QStringLiteral(
    "Enter new value (0..255)(Mask:ls4=serial, ms4=subsys, 0=any, 1=TgtMustBe>=Header, 2=TgtMustBe<=Header, "
    "$F=TgtMust=Header");
} // namespace

CapturePane::CapturePane(CoreAccess core, NumberEntry& entry, Dialogs& dialogs,
                         const FileDialogSettings& fileSelect, QWidget* parent)
    : QWidget(parent), Core(core), Entry(entry), Dlg(dialogs), FWFileSelect(fileSelect) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* Frame1 =
        makeFrame(QStringLiteral("Frame1"), QStringLiteral("Target Firmware Encryption and Upload"));
    outer->addWidget(Frame1);
    auto* layout = new QGridLayout(Frame1);

    WipeTgtcb = makeButton(QStringLiteral("WipeTgtcb"), QStringLiteral("Wipe Target"));
    connect(WipeTgtcb, &QPushButton::clicked, this, [this] { Core.ops.WipeTarget(); });
    Erasecb = makeButton(QStringLiteral("Erasecb"), QStringLiteral("Erase Target"));
    connect(Erasecb, &QPushButton::clicked, this, [this] { Core.ops.EraseTarget(); });

    auto* Frame10 = makeFrame(QStringLiteral("Frame10"), QStringLiteral("Quick Set"));
    auto* quickLayout = new QGridLayout(Frame10);
    for (int i = 0; i < static_cast<int>(QuickSetcb.size()); ++i) {
        const CapturePreset& preset = kCapturePresets[static_cast<size_t>(i)];
        QuickSetcb[static_cast<size_t>(i)] =
            makeButton(arrayName(QStringLiteral("QuickSetcb"), i), QString::fromLatin1(preset.caption),
                       QString::fromLatin1(preset.toolTip));
        quickLayout->addWidget(QuickSetcb[static_cast<size_t>(i)], i / 4, i % 4);
        connect(QuickSetcb[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { QuickSetcb_Click(i); });
    }

    QGroupBox* progressBox = nullptr;
    EncFwUploadProgresslb =
        makeBoxedLabel(progressBox, arrayName(QStringLiteral("Frame2"), 7), QStringLiteral("Progress"),
                       QStringLiteral("EncFwUploadProgresslb"));
    QGroupBox* pagesBox = nullptr;
    UploadPageslb = makeBoxedLabel<ClickableLabel>(pagesBox, arrayName(QStringLiteral("Frame2"), 6),
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
            makeBoxedLabel<ClickableLabel>(box, arrayName(QStringLiteral("Frame2"), i), headerCaptions[i],
                                           arrayName(QStringLiteral("EncIDlb"), i), QString(), toolTip);
        headerLayout->addWidget(box);
        connect(EncIDlb[static_cast<size_t>(i)], &ClickableLabel::clicked, this,
                [this, i] { EncIDlb_Click(i); });
    }
    connect(UploadPageslb, &ClickableLabel::clicked, this, &CapturePane::UploadPageslb_Click);

    StartEncFwUploadcb = makeButton(QStringLiteral("StartEncFwUploadcb"), QStringLiteral("Start Upload"));
    QGroupBox* FwFilefr = nullptr;
    FWFileNamelb = makeBoxedLabel<ClickableLabel>(FwFilefr, QStringLiteral("FwFilefr"),
                                                  QStringLiteral("File"), QStringLiteral("FWFileNamelb"));

    layout->addWidget(WipeTgtcb, 0, 0);
    layout->addWidget(Erasecb, 0, 1);
    layout->addWidget(pagesBox, 0, 2);
    layout->addWidget(progressBox, 0, 3);
    layout->addLayout(headerLayout, 1, 0, 1, 4);
    layout->addWidget(Frame10, 2, 0, 1, 4);
    layout->addWidget(FwFilefr, 3, 0, 1, 3);
    layout->addWidget(StartEncFwUploadcb, 3, 3);
    UploadProgressbar = new QProgressBar;
    UploadProgressbar->setObjectName(QStringLiteral("UploadProgressbar"));
    UploadProgressbar->setRange(0, 1);
    UploadProgressbar->setValue(0);
    layout->addWidget(UploadProgressbar, 4, 0, 1, 4);

    connect(FWFileNamelb, &ClickableLabel::clicked, this, &CapturePane::FWFileNamelb_Click);
    connect(StartEncFwUploadcb, &QPushButton::clicked, this,
            [this] { Core.ops.UploadEncryptedFirmware(Core.view.captureSettings()); });
    connect(&Core.events, &WindowSink::coreChanged, this, [this](Change what) {
        if (what == Change::CaptureSettings)
            UpdateFwUploadPane();
    });
    UpdateFwUploadPane();
}

void CapturePane::UpdateFwUploadPane() {
    const CaptureSettings& settings = Core.view.captureSettings();
    for (size_t i = 0; i < EncIDlb.size(); ++i)
        EncIDlb[i]->setText(QStringLiteral("$") + GeneralUtilities::BytetoHexStr(settings.header[i]));
    UploadPageslb->setText(QString::number(settings.pages));
    FWFileNamelb->setText(settings.file);
    UpdateUploadProgress(Core.view.pagesCaptured(), settings.pages);
}

void CapturePane::UpdateUploadProgress(int stored, int total) {
    EncFwUploadProgresslb->setText(QStringLiteral("%1/%2").arg(stored).arg(total));
    UploadProgressbar->setRange(0, total);
    UploadProgressbar->setValue(stored);
}

void CapturePane::EncIDlb_Click(int Index) {
    const qint16 now = Core.view.captureSettings().header[static_cast<size_t>(Index)];
    Core.ops.editCapture(
        {CaptureEdit::Field::HeaderByte, Index, Entry.EnterParameter(now, kHeaderPrompt), {}});
}

void CapturePane::UploadPageslb_Click() {
    Core.ops.editCapture(
        {CaptureEdit::Field::Pages,
         0,
         Entry.EnterParameter(Core.view.captureSettings().pages,
                              QStringLiteral("Enter pages to upload (8K=32, 16K=64, 32K=128, 64K=256)")),
         {}});
}

void CapturePane::QuickSetcb_Click(int Index) {
    const double maxSerial =
        kCapturePresets[static_cast<size_t>(Index)].asksMaxSerial ? Entry.EnterMaxSerialNo() : 0;
    Core.ops.editCapture({CaptureEdit::Field::Preset, Index, maxSerial, {}});
}

void CapturePane::FWFileNamelb_Click() {
    Core.ops.editCapture({CaptureEdit::Field::File, 0, 0, Dlg.saveFile(FWFileSelect)});
}

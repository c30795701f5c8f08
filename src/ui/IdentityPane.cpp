#include "IdentityPane.h"

#include "Controls.h"
#include "CoreView.h"
#include "IdBlock.h"
#include "IdentityDisplay.h"
#include "NumberEntry.h"
#include "Operations.h"
#include "WindowSink.h"

#include <QGridLayout>

namespace {
const QString kDash = QStringLiteral("-");
} // namespace

IdentityPane::IdentityPane(CoreAccess core, NumberEntry& entry, QWidget* parent)
    : QWidget(parent), Core(core), Entry(entry) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* Frame4 = makeFrame(QStringLiteral("Frame4"), QStringLiteral("Target ID"));
    outer->addWidget(Frame4);
    auto* layout = new QGridLayout(Frame4);

    Readidcb = makeButton(QStringLiteral("Readidcb"), QStringLiteral("Read"));
    connect(Readidcb, &QPushButton::clicked, this, [this] { Core.ops.RequestTargetID(); });

    QGroupBox* appBox = nullptr;
    AppVersionlb =
        makeBoxedLabel<ClickableLabel>(appBox, arrayName(QStringLiteral("Frame5"), 1),
                                       QStringLiteral("App Version"), QStringLiteral("AppVersionlb"), kDash);
    connect(AppVersionlb, &ClickableLabel::clicked, this, &IdentityPane::AppVersionlb_Click);
    QGroupBox* blBox = nullptr;
    BootloaderVersionlb = makeBoxedLabel(
        blBox, arrayName(QStringLiteral("Frame5"), 0), QStringLiteral("BL Version"),
        QStringLiteral("BootloaderVersionlb"), kDash,
        QStringLiteral("[xx]:bit0=Supports App Flash Write,bit1=Supports Individual Page Erase+Write"));

    auto* cpuBox = makeFrame(arrayName(QStringLiteral("cpuid"), 0), QStringLiteral("cpu id"));
    auto* cpuLayout = new QHBoxLayout(cpuBox);
    for (int i = 0; i < static_cast<int>(cpuidlb.size()); ++i) {
        cpuidlb[static_cast<size_t>(i)] = makeLabel(arrayName(QStringLiteral("cpuidlb"), i), kDash);
        cpuLayout->addWidget(cpuidlb[static_cast<size_t>(i)]);
    }

    auto* Frame3 = makeFrame(QStringLiteral("Frame3"), QStringLiteral("Tgt ID"));
    auto* idLayout = new QGridLayout(Frame3);
    QGroupBox* box = nullptr;
    Systemlb = makeBoxedLabel(box, arrayName(QStringLiteral("TgtID"), 8), QStringLiteral("System"),
                              QStringLiteral("Systemlb"));
    idLayout->addWidget(box, 0, 0, 1, 3);
    SubSystemlb = makeBoxedLabel(box, arrayName(QStringLiteral("TgtID"), 9), QStringLiteral("Sub System"),
                                 QStringLiteral("SubSystemlb"));
    idLayout->addWidget(box, 0, 3, 1, 3);
    Seriallb = makeBoxedLabel(box, arrayName(QStringLiteral("TgtID"), 10), QStringLiteral("Serial No."),
                              QStringLiteral("Seriallb"));
    idLayout->addWidget(box, 0, 6, 1, 2);
    for (int i = 0; i < static_cast<int>(TgtIDlb.size()); ++i) {
        TgtIDlb[static_cast<size_t>(i)] =
            makeBoxedLabel(box, arrayName(QStringLiteral("TgtID"), i),
                           QString::fromLatin1(IdBlockField::kNames[static_cast<size_t>(i)]),
                           arrayName(QStringLiteral("TgtIDlb"), i), kDash);
        idLayout->addWidget(box, 1, i);
    }

    layout->addWidget(Readidcb, 0, 0);
    layout->addWidget(appBox, 0, 1);
    layout->addWidget(blBox, 0, 2);
    layout->addWidget(cpuBox, 0, 3);
    layout->addWidget(Frame3, 1, 0, 1, 4);

    connect(&Core.events, &WindowSink::coreChanged, this, [this](Change what) {
        if (what == Change::Identity || what == Change::AppVersion)
            UpdateTargetIDPane();
    });
}

void IdentityPane::UpdateTargetIDPane() {
    const IdentityDisplay d = displayIdentity(Core.view.identity());
    for (size_t i = 0; i < TgtIDlb.size(); ++i)
        TgtIDlb[i]->setText(d.idBlock[i]);
    Seriallb->setText(d.serialNo);
    Systemlb->setText(d.system);
    SubSystemlb->setText(d.subSystem);
    for (size_t i = 0; i < cpuidlb.size(); ++i)
        cpuidlb[i]->setText(d.cpuId[i]);
    BootloaderVersionlb->setText(d.bootloaderVersion);
    AppVersionlb->setText(d.appVersion);
}

void IdentityPane::AppVersionlb_Click() {
    const TargetIdentity& id = Core.view.identity();
    const float major =
        Entry.EnterParameter(id.AppVersionMajor, QStringLiteral("Enter new MAJOR version number"));
    // The second question is asked whatever became of the first.
    const float minor =
        Entry.EnterParameter(id.AppVersionMinor, QStringLiteral("Enter new MINOR version number"));
    Core.ops.editAppVersion({major, minor}); // redraws the pane
}

#include "SerialPane.h"

#include "Controls.h"

#include <QGridLayout>
#include <QLineEdit>

SerialPane::SerialPane(BootloaderCore& core, NumberEntry& entry, QWidget* parent)
    : QWidget(parent), Core(core), Entry(entry) {
    auto* outer = new QVBoxLayout(this);
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
            box, ArrayName(QStringLiteral("SetSerialfr"), i), IdBlockCaptions()[i],
            ArrayName(QStringLiteral("SetSeriallb"), i), QStringLiteral("-"), toolTip);
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

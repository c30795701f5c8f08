#include "SerialPane.h"

#include "Controls.h"
#include "CoreView.h"
#include "Dialogs.h"
#include "GeneralUtilities.h"
#include "IdBlock.h"
#include "NumberEntry.h"
#include "Operations.h"
#include "WindowSink.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>

SerialPane::SerialPane(CoreAccess core, NumberEntry& entry, Dialogs& dialogs,
                       const FileDialogSettings& fileSelect, QWidget* parent)
    : QWidget(parent), Core(core), Entry(entry), Dlg(dialogs), SerialDBFileSelect(fileSelect),
      DialogFileName(fileSelect.initialFile) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* Frame6 = makeFrame(QStringLiteral("Frame6"), QStringLiteral("Serial Number Allocation"));
    outer->addWidget(Frame6);
    auto* layout = new QGridLayout(Frame6);

    ProgAllcb = makeButton(QStringLiteral("ProgAllcb"), QStringLiteral(" Prog, Log, Write FW"));
    auto* memoBox = makeFrame(arrayName(QStringLiteral("TgtID"), 12), QStringLiteral("Memo"));
    Memolb = new QLineEdit;
    Memolb->setObjectName(QStringLiteral("Memolb"));
    Memolb->setToolTip(QStringLiteral("12 Character memo for log file."));
    (new QVBoxLayout(memoBox))->addWidget(Memolb);
    AutoProgramSerialNocb =
        makeButton(QStringLiteral("AutoProgramSerialNocb"), QStringLiteral("Program and Log"));
    QGroupBox* nextBox = nullptr;
    NewSeriallb =
        makeBoxedLabel<ClickableLabel>(nextBox, arrayName(QStringLiteral("TgtID"), 11),
                                       QStringLiteral("Next Serial No."), QStringLiteral("NewSeriallb"));
    ProgramSerialNocb = makeButton(QStringLiteral("ProgramSerialNocb"), QStringLiteral("Prog Only"));
    QGroupBox* Frame7 = nullptr;
    SerialDBFileNamelb = makeBoxedLabel<ClickableLabel>(Frame7, QStringLiteral("Frame7"),
                                                        QStringLiteral("Serial Number Allocation File"),
                                                        QStringLiteral("SerialDBFileNamelb"));
    auto* Frame8 = makeFrame(QStringLiteral("Frame8"), QStringLiteral("Tgt ID/Serial Number"));
    auto* setLayout = new QHBoxLayout(Frame8);
    for (int i = 0; i < static_cast<int>(SetSeriallb.size()); ++i) {
        QString toolTip;
        if (i == 1)
            toolTip = QStringLiteral(" 1= Solvane, 10= Linkbay, 11= MERLAX System Unit");
        else if (i == 2)
            toolTip =
                QStringLiteral("1= PWM Solvane/Linkbay/SysCntrl, 2=FltC,8=AnalogSolvane,10=PWMSolvane(FF)");
        QGroupBox* box = nullptr;
        SetSeriallb[static_cast<size_t>(i)] = makeBoxedLabel<ClickableLabel>(
            box, arrayName(QStringLiteral("SetSerialfr"), i),
            QString::fromLatin1(IdBlockField::kNames[static_cast<size_t>(i)]),
            arrayName(QStringLiteral("SetSeriallb"), i), QStringLiteral("-"), toolTip);
        setLayout->addWidget(box);
        connect(SetSeriallb[static_cast<size_t>(i)], &ClickableLabel::clicked, this, [this, i] {
            const qint16 now = Core.view.serialBlock()[static_cast<size_t>(i)];
            Core.ops.editSerial({SerialEdit::Field::BlockByte,
                                 i,
                                 Entry.EnterParameter(now, QStringLiteral("Enter new value (0..255) ")),
                                 {}});
        });
    }

    layout->addWidget(ProgAllcb, 0, 0);
    layout->addWidget(AutoProgramSerialNocb, 0, 1);
    layout->addWidget(ProgramSerialNocb, 0, 2);
    layout->addWidget(nextBox, 0, 3);
    layout->addWidget(memoBox, 0, 4);
    layout->addWidget(Frame7, 1, 0, 1, 5);
    layout->addWidget(Frame8, 2, 0, 1, 5);

    connect(NewSeriallb, &ClickableLabel::clicked, this, [this] {
        // With no next serial number, Cancel gives 0, which is refused.
        const double entered = Entry.EnterParameter(Core.view.nextSerial().value_or(0),
                                                    QStringLiteral("Enter new serial number"));
        Core.ops.editSerial({SerialEdit::Field::NextSerial, 0, entered, {}});
    });
    connect(SerialDBFileNamelb, &ClickableLabel::clicked, this, &SerialPane::SerialDBFileNamelb_Click);
    connect(Memolb, &QLineEdit::textEdited, this, [this](const QString& memo) {
        Core.ops.editSerial({SerialEdit::Field::Memo, 0, 0, memo});
    });
    Operations& ops = Core.ops;
    connect(ProgramSerialNocb, &QPushButton::clicked, this, [&ops] { ops.WriteSerialNo(); });
    connect(AutoProgramSerialNocb, &QPushButton::clicked, this, [&ops] { ops.ProgramAndLogSerialNo(); });
    connect(ProgAllcb, &QPushButton::clicked, this, [&ops] {
        ops.ProgramAndLogSerialNo(
            {true, QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier)});
    });
    connect(&Core.events, &WindowSink::coreChanged, this, [this](Change what) {
        if (what == Change::SerialAllocation)
            UpdateSetSerialPane();
        else if (what == Change::SerialMemo)
            Memolb->setText(Core.view.memo());
    });
    UpdateSetSerialPane();
}

void SerialPane::UpdateSetSerialPane() {
    for (size_t i = 0; i < SetSeriallb.size(); ++i)
        SetSeriallb[i]->setText(QStringLiteral("$") +
                                GeneralUtilities::BytetoHexStr(Core.view.serialBlock()[i]));
    const std::optional<qint32> next = Core.view.nextSerial();
    NewSeriallb->setText(next ? QString::number(*next) : QStringLiteral("-"));
    SerialDBFileNamelb->setText(Core.view.serialLogName());
}

void SerialPane::SerialDBFileNamelb_Click() {
    // Cancel keeps the dialog's file name, and that file is opened.
    const QString chosen = Dlg.openFile(SerialDBFileSelect);
    if (!chosen.isEmpty())
        DialogFileName = chosen;
    openLog({DialogFileName, {}});
}

void SerialPane::openLog(const LedgerAddress& where) {
    SerialLogRequest request;
    request.where = where;
    Core.ops.openSerialDatabase(request);
}

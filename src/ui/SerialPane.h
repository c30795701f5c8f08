#pragma once

#include "CoreAccess.h"
#include "OpenSerialLedger.h"

#include <QString>
#include <QWidget>

#include <array>

class ClickableLabel;
class NumberEntry;
class QLineEdit;
class QPushButton;
class Dialogs;
struct FileDialogSettings;

// The admin window's "Serial Number Allocation" frame.
class SerialPane : public QWidget {
    Q_OBJECT
public:
    SerialPane(CoreAccess core, NumberEntry& entry, Dialogs& dialogs, const FileDialogSettings& fileSelect,
               QWidget* parent = nullptr);

    // Opens the serial log the program was started with (a .ser file or a
    // database range); the label still opens files.
    void openLog(const LedgerAddress& where);

private:
    void UpdateSetSerialPane();
    void SerialDBFileNamelb_Click();

    CoreAccess Core;
    NumberEntry& Entry;
    Dialogs& Dlg;
    const FileDialogSettings& SerialDBFileSelect;
    // The dialog's file name: Cancel opens it as it stands.
    QString DialogFileName;
    QPushButton* ProgAllcb = nullptr;
    QLineEdit* Memolb = nullptr;
    QPushButton* AutoProgramSerialNocb = nullptr;
    ClickableLabel* NewSeriallb = nullptr;
    QPushButton* ProgramSerialNocb = nullptr;
    ClickableLabel* SerialDBFileNamelb = nullptr;
    std::array<ClickableLabel*, 8> SetSeriallb{};
};

#pragma once

#include <QString>
#include <QWidget>

#include <array>

class BootloaderCore;
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
    SerialPane(BootloaderCore& core, NumberEntry& entry, Dialogs& dialogs,
               const FileDialogSettings& fileSelect, QWidget* parent = nullptr);

private:
    void UpdateSetSerialPane();
    void SerialDBFileNamelb_Click();

    BootloaderCore& Core;
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

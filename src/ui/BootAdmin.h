#pragma once

#include "Dialogs.h"

#include <QMainWindow>
#include <QTimer>

#include <array>

class ClickableLabel;
class Maintenance;
class QLabel;
class QLineEdit;
class QPushButton;
class TargetSession;

// The admin window, "BootloaderAdmin": the module's full identity, the version
// editor, the panes for serial numbers and firmware capture, erase and wipe.
class BootAdmin : public QMainWindow {
    Q_OBJECT
public:
    BootAdmin(TargetSession& target, Maintenance& maintenance, Dialogs& dialogs, QWidget* parent = nullptr);

    // Shows a status text in this window's status line (the main window's is
    // written alongside by the reporter).
    void showStatus(const QString& text);
    // Disabled while an operation waits for the module.
    void setCommandsEnabled(bool enabled);

    // The number-entry dialog of every clickable number label.
    float EnterParameter(qint32 currentValue, const QString& prompt);
    // Asks for the highest serial number; 0 when cancelled.
    qint16 EnterMaxSerialNo();

    const FileDialogSettings& fwFileSelect() const { return FWFileSelect; }
    const FileDialogSettings& serialDBFileSelect() const { return SerialDBFileSelect; }

    QTimer UploadTimer;

protected:
    // The close box hides the window like "Close", keeping every value.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildIdentityPane(QWidget* area);
    void buildSerialPane(QWidget* area);
    void buildCapturePane(QWidget* area);
    void UpdateTargetIDPane();
    void AppVersionlb_Click();

    TargetSession& Target;
    Maintenance& Maint;
    Dialogs& Dlg;
    FileDialogSettings FWFileSelect;
    FileDialogSettings SerialDBFileSelect;

    QLabel* ErrorCodelb = nullptr;
    QLabel* Statustb = nullptr;
    QPushButton* Readidcb = nullptr;
    ClickableLabel* AppVersionlb = nullptr;
    QLabel* BootloaderVersionlb = nullptr;
    std::array<QLabel*, 4> cpuidlb{};
    QLabel* Seriallb = nullptr;
    QLabel* SubSystemlb = nullptr;
    QLabel* Systemlb = nullptr;
    std::array<QLabel*, 8> TgtIDlb{};

    QPushButton* ProgAllcb = nullptr;
    QLineEdit* Memolb = nullptr;
    QPushButton* AutoProgramSerialNocb = nullptr;
    ClickableLabel* NewSeriallb = nullptr;
    QPushButton* ProgramSerialNocb = nullptr;
    ClickableLabel* SerialDBFileNamelb = nullptr;
    std::array<ClickableLabel*, 8> SetSeriallb{};

    QPushButton* WipeTgtcb = nullptr;
    QPushButton* Erasecb = nullptr;
    std::array<QPushButton*, 8> QuickSetcb{};
    QLabel* EncFwUploadProgresslb = nullptr;
    ClickableLabel* UploadPageslb = nullptr;
    std::array<ClickableLabel*, 6> EncIDlb{};
    QPushButton* StartEncFwUploadcb = nullptr;
    ClickableLabel* FWFileNamelb = nullptr;
};

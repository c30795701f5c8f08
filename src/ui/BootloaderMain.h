#pragma once

#include "CoreAccess.h"
#include "Dialogs.h"
#include "OpenSerialLedger.h"

#include <optional>

#include <QMainWindow>

class ClickableLabel;
class CommsLinkWindow;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The main window, "MERLAX Bootloader 1.3": the connected module, the firmware
// file, and the buttons for the service steps.
class BootloaderMain : public QMainWindow {
    Q_OBJECT
public:
    BootloaderMain(CoreAccess core, CommsLinkWindow& commsLinkWindow, Dialogs& dialogs,
                   QWidget* parent = nullptr);

    // "Apply" looks the unit up in this serial log rather than on the
    // recovery server (a database range the program was started with).
    void setRecoveryLog(std::optional<LedgerAddress> log) { RecoveryLog = std::move(log); }

    // Sets the main window's status line.
    void PutStatusMsg(const QString& Msg);
    // Pages acknowledged so far by the programming run.
    void showProgress(int acknowledged, int total);
    void UpdateButtonHighlights();
    // The firmware file pane: name (its last 40 characters), system, version.
    void ShowFirmwareFileInfo();

    // Opens the gate of the admin gesture (Ctrl-click on the system label).
    void setAdminEnabled(bool enabled);
    bool adminEnabled() const { return AdminEnabled; }
    const FileDialogSettings& firmwareFileSel() const { return FirmwareFileSel; }

signals:
    // The admin gesture: a Ctrl-click on the system label while the gate is open.
    void adminRequested();
    // The window closes and the program ends.
    void closing();
    // The program is closing: the core is to be shut down.
    void shutdownRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    // The identity labels; the error label changes only with a reply.
    void showIdentity();
    void resetProgress();
    void TgtFwSystemtb_Click(Qt::KeyboardModifiers modifiers);
    void LoadFirmwareFile();

    CoreAccess Core;
    std::optional<LedgerAddress> RecoveryLog;
    CommsLinkWindow& CommsWindow;
    Dialogs& Dlg;
    bool AdminEnabled = false;
    bool Closing = false;
    FileDialogSettings FirmwareFileSel;

    QPushButton* Rebootcb = nullptr;
    QPushButton* RestoreSercb = nullptr;
    QLineEdit* SerialRecoverytb = nullptr;
    QPushButton* SerialRecoverycb = nullptr;
    QLabel* ErrorCodelb = nullptr;
    QLabel* Statustb = nullptr;
    QProgressBar* ProgramProgressbar = nullptr;
    QPushButton* Erasecb = nullptr;
    QPushButton* ProgramFwcb = nullptr;
    QPushButton* RebootToBootloadercb = nullptr; // element 1 of its array
    QLabel* BootloaderVersionlb = nullptr;
    QLabel* TgtSerialNolb = nullptr;
    QPushButton* GetTgtStatuscb = nullptr;
    QLabel* TgtFwVersionlb = nullptr;
    ClickableLabel* TgtFwSystemtb = nullptr;
    QLabel* FwFiletb = nullptr;
    QLabel* FWSystemtb = nullptr;
    QLabel* FwVersionlb = nullptr;
    QPushButton* LoadFWcb = nullptr;
};

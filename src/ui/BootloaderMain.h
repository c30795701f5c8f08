#pragma once

#include "Dialogs.h"

#include <QMainWindow>

class BootAdmin;
class ClickableLabel;
class CommandExchange;
class CommsLink;
class CommsLinkWindow;
class Maintenance;
class QLabel;
class QLineEdit;
class QPushButton;
class TargetSession;

// The main window, "MERLAX Bootloader 1.3": the connected module, the firmware
// file, and the buttons for the service steps.
class BootloaderMain : public QMainWindow {
    Q_OBJECT
public:
    struct Parts {
        CommsLink& link;
        CommandExchange& exchange;
        TargetSession& target;
        Maintenance& maintenance;
        CommsLinkWindow& commsLinkWindow;
        BootAdmin& admin;
    };
    explicit BootloaderMain(const Parts& parts, QWidget* parent = nullptr);

    // Sets the main window's status line.
    void PutStatusMsg(const QString& Msg);
    void UpdateButtonHighlights();
    // The firmware file pane: name (its last 40 characters), system, version.
    void ShowFirmwareFileInfo(const QString& FirmwareFilename, qint16 FWSystemID, qint16 FWSubSystemID,
                              qint16 FWVersionMajor, qint16 FWVersionMinor);

    // Opens the gate of the admin gesture (Ctrl-click on the system label).
    void setAdminEnabled(bool enabled) { AdminEnabled = enabled; }
    bool adminEnabled() const { return AdminEnabled; }
    bool GetFWFileLoaded() const { return FWFileLoaded; }
    // Disabled while an operation waits for the module.
    void setCommandsEnabled(bool enabled);
    const FileDialogSettings& firmwareFileSel() const { return FirmwareFileSel; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void showIdentity();
    void TgtFwSystemtb_Click(Qt::KeyboardModifiers modifiers);
    bool FirmwareMatchesTarget() const;

    Parts P;
    bool AdminEnabled = false;
    bool FWFileLoaded = false;
    bool Closing = false;
    FileDialogSettings FirmwareFileSel;

    QPushButton* Rebootcb = nullptr;
    QPushButton* RestoreSercb = nullptr;
    QLineEdit* SerialRecoverytb = nullptr;
    QPushButton* SerialRecoverycb = nullptr;
    QLabel* ErrorCodelb = nullptr;
    QLabel* Statustb = nullptr;
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

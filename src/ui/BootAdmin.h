#pragma once

#include "CoreAccess.h"
#include "Dialogs.h"
#include "NumberEntry.h"

#include <QMainWindow>

class SerialPane;
class CapturePane;
class QLabel;

// The admin window, "BootloaderAdmin": an assembly of its panes (identity,
// serial numbers, firmware capture) with the last error and the status line.
class BootAdmin : public QMainWindow {
    Q_OBJECT
public:
    BootAdmin(CoreAccess core, Dialogs& dialogs, QWidget* parent = nullptr);

    // Shows a status text in this window's status line (the main window's is
    // written alongside by the window sink).
    void UpdateStatusDisp(const QString& text);
    void showCaptureProgress(int stored, int total);
    // As large as its panes, but no larger than the screen leaves room for.
    void fitToScreen();
    SerialPane& serialPane() { return *Serials; }

    float EnterParameter(qint32 currentValue, const QString& prompt) {
        return Entry.EnterParameter(currentValue, prompt);
    }
    double EnterMaxSerialNo() { return Entry.EnterMaxSerialNo(); }

    const FileDialogSettings& fwFileSelect() const { return FWFileSelect; }
    const FileDialogSettings& serialDBFileSelect() const { return SerialDBFileSelect; }

protected:
    // The close box hides the window like "Close", keeping every value.
    void closeEvent(QCloseEvent* event) override;

private:
    CoreAccess Core;
    NumberEntry Entry;
    FileDialogSettings FWFileSelect;
    FileDialogSettings SerialDBFileSelect;
    CapturePane* Capture = nullptr;
    SerialPane* Serials = nullptr;
    QLabel* ErrorCodelb = nullptr;
    QLabel* Statustb = nullptr;
};

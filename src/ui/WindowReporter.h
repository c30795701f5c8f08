#pragma once

#include "Reporter.h"

#include <QPointer>

class BootAdmin;
class BootloaderMain;
class Dialogs;

// What the core tells the operator, shown in the windows: critical errors as
// message boxes, status texts in the status lines.
class WindowReporter : public Reporter {
public:
    explicit WindowReporter(Dialogs& dialogs) : Dlg(dialogs) {}
    void attach(BootloaderMain* main, BootAdmin* admin);

    void ShowCritical(const QString& title, const QString& text) override;
    void UpdateStatusDisp(const QString& text) override;
    void PutStatusMsg(const QString& text) override;

private:
    Dialogs& Dlg;
    QPointer<BootloaderMain> Main;
    QPointer<BootAdmin> Admin;
};

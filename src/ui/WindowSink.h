#pragma once

#include "Events.h"

#include <QPointer>

class BootAdmin;
class BootloaderMain;
class Dialogs;

// What the core tells the operator, shown in the windows: critical messages
// as message boxes, status texts in the status lines, progress in the bars.
class WindowSink : public EventSink {
public:
    explicit WindowSink(Dialogs& dialogs) : Dlg(dialogs) {}
    void attach(BootloaderMain* main, BootAdmin* admin);

    void status(StatusLines lines, const QString& text) override;
    void critical(const QString& title, const QString& text) override;
    void progress(Activity activity, int done, int total) override;

private:
    Dialogs& Dlg;
    QPointer<BootloaderMain> Main;
    QPointer<BootAdmin> Admin;
};

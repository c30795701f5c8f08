#pragma once

#include "Events.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

class BootAdmin;
class BootloaderMain;
class CoreView;
class Dialogs;

// What the core tells the operator, shown in the windows: critical messages
// as message boxes, status texts in the status lines, progress in the bars.
//
// A programming run or a capture brings a status text and a progress step
// every 23 ms, faster than anyone reads and costly to paint: the windows
// show the newest at once after a quiet spell, then at most every 100 ms, and
// whatever is still pending the moment the operation ends or a message box
// opens.
class WindowSink : public QObject, public EventSink {
    Q_OBJECT
public:
    explicit WindowSink(Dialogs& dialogs);
    void attach(BootloaderMain* main, BootAdmin* admin);
    // Whether an operation runs is read here; what is pending is shown when
    // it ends.
    void watch(const CoreView& view) { View = &view; }

    void status(StatusLines lines, const QString& text) override;
    void critical(const QString& title, const QString& text) override;
    void progress(Activity activity, int done, int total) override;
    void changed(Change what) override;

    // Shows everything pending now.
    void flush();

signals:
    // The core's state changed: a window that shows it reads the view again.
    void coreChanged(Change what);

private:
    // Shows what is pending now, or after the pace timer while an operation runs.
    void showSoon();

    Dialogs& Dlg;
    QPointer<BootloaderMain> Main;
    QPointer<BootAdmin> Admin;
    const CoreView* View = nullptr;
    QTimer Pace;
    bool Running = false; // an operation holds the gate
    bool Dirty = false;
    std::optional<QString> MainText;  // the main window's status line
    std::optional<QString> AdminText; // the admin window's
    std::optional<std::pair<int, int>> Programming;
    std::optional<std::pair<int, int>> Capture;
};

#pragma once

#include <QString>

// The one way the core tells the operator something. The application shows
// critical errors as message boxes and status texts in the windows' status
// lines; tests record them.
class Reporter {
public:
    virtual ~Reporter() = default;

    // A failure of a file or of the serial port: a modal message with the
    // critical icon. The title names the activity ("Comms Port", "File Open").
    virtual void ShowCritical(const QString& title, const QString& text) = 0;
    // Progress and outcome of an operation, shown in the status lines of both
    // the admin window and the main window.
    virtual void UpdateStatusDisp(const QString& text) = 0;
    // A status text for the main window's status line only.
    virtual void PutStatusMsg(const QString& text) = 0;
};

#pragma once

#include <QString>

// The status lines a text is meant for: both windows' (the admin window's and
// the main window's), or the main window's alone.
enum class StatusLines { Both, Main };

// What a progress event counts the pages of.
enum class Activity { Programming, Capture };

// What changed in the core's state; a front end that shows it reads the new
// state from the core's view.
enum class Change {
    Identity,           // a module's identity reply was taken over (identity and error displays)
    AppVersion,         // the operator corrected the application version (identity displays only)
    ModuleRead,         // an identity request ended, read or not (what the next step is, the progress)
    Firmware,           // a load made a firmware file current
    FirmwareRead,       // a load read a file's records: the module is no longer the one just programmed
    FirmwareProgrammed, // "Program complete.": the module is to be restarted
    CaptureSettings,    // the capture's header, pages or file
    SerialAllocation,   // the ID block to write, the next serial number, the serial log
    SerialMemo,         // the memo, set from a log that was opened
    PortSelected,       // another port is the selected one
    ScanStarted,
    ScanFinished,
    OperationRunning, // an operation took or released the gate
};

// Where the core tells its front end what happens while an operation runs.
// The windows and the command line are two sinks; the core never asks a sink
// anything.
class EventSink {
public:
    virtual ~EventSink() = default;

    virtual void status(StatusLines lines, const QString& text) = 0;
    // A failure of a file or of the serial port, for a message with the
    // critical icon. The title names the activity ("Comms Port", "File Open").
    virtual void critical(const QString& title, const QString& text) = 0;
    // `done` of `total` pages; a run starts with done 0.
    virtual void progress(Activity activity, int done, int total) = 0;
    // The core's state changed; a front end that shows nothing of it ignores it.
    virtual void changed(Change /*what*/) {}
};

// For a program that runs the core for its own ends (a benchmark, a tool
// that makes files) and has no one to tell.
class QuietSink : public EventSink {
public:
    void status(StatusLines, const QString&) override {}
    void critical(const QString&, const QString&) override {}
    void progress(Activity, int, int) override {}
};

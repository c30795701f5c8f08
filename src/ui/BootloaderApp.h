#pragma once

#include "BootloaderCore.h"
#include "OpenSerialLedger.h"
#include "WindowSink.h"

#include <QObject>

#include <memory>
#include <optional>

class BootAdmin;
class BootloaderMain;
class CommsLinkWindow;
class Dialogs;
class InputLock;
class QApplication;

// The whole program: the core and the three windows over it.
class BootloaderApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        Options(bool admin = false, BootloaderCore::Options coreOptions = {})
            : adminEnabled(admin), core(std::move(coreOptions)) {}
        bool adminEnabled = false; // the --admin command-line option
        BootloaderCore::Options core;
        // The port opened at start-up (--port): COM10 unless told otherwise.
        int startPort = 10;
        // The serial log the admin window opens at start-up (--db, --range).
        std::optional<LedgerAddress> serialLog;
    };

    BootloaderApp(Dialogs& dialogs, Options options);
    ~BootloaderApp() override;

    // Start-up: the link (which opens the start port), the link and admin
    // windows hidden, then the main window, shown, with the admin window to
    // its right; then the serial log given, if any.
    void start();

    BootloaderMain& mainWindow() { return *Main; }
    BootAdmin& adminWindow() { return *Admin; }
    CommsLinkWindow& commsLinkWindow() { return *Comms; }
    BootloaderCore& core() { return *Core; }
    WindowSink& sink() { return Sink; }

private:
    Options Opts;
    WindowSink Sink;
    std::unique_ptr<BootloaderCore> Core;
    std::unique_ptr<CommsLinkWindow> Comms;
    std::unique_ptr<BootAdmin> Admin;
    std::unique_ptr<BootloaderMain> Main;
    std::unique_ptr<InputLock> Lock;
};

// The program as its main() runs it: reads the command line, builds the
// windows over Qt's standard dialogs, starts and runs the event loop.
// `options` are the core's (a test gives COM10 a device of its own);
// `arguments` the command line, the program's own when empty.
int runBootloader(const BootloaderCore::Options& options = {}, const QStringList& arguments = {});

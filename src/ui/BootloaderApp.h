#pragma once

#include "CommandExchange.h"
#include "WindowReporter.h"

#include <QObject>

#include <memory>

class BootAdmin;
class BootloaderMain;
class CommsLink;
class CommsLinkWindow;
class Dialogs;
class Maintenance;
class TargetSession;

// The whole program: the core objects and the three windows over them.
class BootloaderApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool adminEnabled = false; // the --admin command-line option
    };

    BootloaderApp(Dialogs& dialogs, Options options);
    ~BootloaderApp() override;

    // Start-up: the link window (which opens COM10), the admin window, both
    // hidden, then the main window, shown, with the admin window to its right.
    void start();

    BootloaderMain& mainWindow() { return *Main; }
    BootAdmin& adminWindow() { return *Admin; }
    CommsLinkWindow& commsLinkWindow() { return *Comms; }
    CommsLink& link() { return *Link; }
    CommandExchange& exchange() { return Exchange; }
    TargetSession& target() { return *Target; }

private:
    Options Opts;
    WindowReporter Reporter_;
    CommandExchange Exchange;
    std::unique_ptr<CommsLink> Link;
    std::unique_ptr<TargetSession> Target;
    std::unique_ptr<Maintenance> Maint;
    std::unique_ptr<CommsLinkWindow> Comms;
    std::unique_ptr<BootAdmin> Admin;
    std::unique_ptr<BootloaderMain> Main;
};

#include "BootloaderApp.h"

#include "BootAdmin.h"
#include "BootloaderMain.h"
#include "CommsLink.h"
#include "CommsLinkWindow.h"
#include "Maintenance.h"
#include "TargetSession.h"

BootloaderApp::BootloaderApp(Dialogs& dialogs, Options options) : Opts(options), Reporter_(dialogs) {
    Link = std::make_unique<CommsLink>(Exchange, Reporter_);
    Target = std::make_unique<TargetSession>(*Link, Exchange, Reporter_);
    Maint = std::make_unique<Maintenance>(*Link, Exchange, Reporter_);
    Comms = std::make_unique<CommsLinkWindow>(*Link);
    Admin = std::make_unique<BootAdmin>(*Target, *Maint, dialogs);
    Main = std::make_unique<BootloaderMain>(
        BootloaderMain::Parts{*Link, Exchange, *Target, *Maint, *Comms, *Admin});
    Reporter_.attach(Main.get(), Admin.get());

    connect(&Exchange, &CommandExchange::operationActiveChanged, this, [this](bool active) {
        Main->setCommandsEnabled(!active);
        Admin->setCommandsEnabled(!active);
        Comms->setCommandsEnabled(!active);
    });
}

BootloaderApp::~BootloaderApp() {
    Reporter_.attach(nullptr, nullptr);
    Link->Unload();
}

void BootloaderApp::start() {
    Link->Load();
    Comms->hide();
    Admin->hide();
    Main->show();
    Main->setAdminEnabled(Opts.adminEnabled);
    const QRect frame = Main->frameGeometry();
    Admin->move(frame.x() + frame.width(), frame.y());
}

#include "BootloaderApp.h"

#include "BootAdmin.h"
#include "BootloaderMain.h"
#include "CommsLinkWindow.h"
#include "InputLock.h"
#include "QtDialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStyleFactory>

BootloaderApp::BootloaderApp(Dialogs& dialogs, Options options) : Opts(std::move(options)), Sink(dialogs) {
    Core = std::make_unique<BootloaderCore>(Sink, Opts.core);
    Comms = std::make_unique<CommsLinkWindow>(Core->link());
    Admin = std::make_unique<BootAdmin>(*Core, dialogs);
    Main = std::make_unique<BootloaderMain>(*Core, *Comms, dialogs);
    Sink.attach(Main.get(), Admin.get());
    Sink.watch(Core->exchange());
    Lock =
        std::make_unique<InputLock>(Core->exchange(), QList<QWidget*>{Main.get(), Admin.get(), Comms.get()});

    connect(Main.get(), &BootloaderMain::adminRequested, this, [this] {
        Admin->show();
        Admin->raise();
    });
    connect(Main.get(), &BootloaderMain::closing, this, [this] { Admin->hide(); });
}

BootloaderApp::~BootloaderApp() {
    Sink.attach(nullptr, nullptr);
    Core->shutdown();
}

void BootloaderApp::start() {
    Core->start();
    Comms->hide();
    Admin->hide();
    Main->show();
    Main->setAdminEnabled(Opts.adminEnabled);
    Admin->fitToScreen();
    const QRect frame = Main->frameGeometry();
    Admin->move(frame.x() + frame.width(), frame.y());
}

int runBootloader(QApplication& app, const BootloaderCore::Options& options) {
    QApplication::setApplicationName(QStringLiteral("MERLAX Bootloader"));
    QApplication::setApplicationVersion(QStringLiteral("1.3"));
    // The highlight colours of the buttons show the same on every platform.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Programs and provisions MERLAX modules over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption admin(
        QStringLiteral("admin"), QStringLiteral("Let Ctrl-click on the system label open the admin window."));
    parser.addOption(admin);
    parser.process(app);

    QtDialogs dialogs;
    BootloaderApp bootloader(dialogs, BootloaderApp::Options{parser.isSet(admin), options});
    dialogs.setParentWindow(&bootloader.mainWindow());
    bootloader.start();
    return QApplication::exec();
}

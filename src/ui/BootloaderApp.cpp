#include "BootloaderApp.h"

#include "BootAdmin.h"
#include "BootloaderMain.h"
#include "CommsLinkWindow.h"
#include "InputLock.h"
#include "PortMap.h"
#include "QtDialogs.h"
#include "SerialPane.h"
#include "Version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStyleFactory>

#include <cstdio>
#include <variant>

BootloaderApp::BootloaderApp(Dialogs& dialogs, Options options) : Opts(std::move(options)), Sink(dialogs) {
    Core = std::make_unique<BootloaderCore>(Sink, Opts.core);
    const CoreAccess access{Core->operations(), Core->view(), Sink};
    Comms = std::make_unique<CommsLinkWindow>(access);
    Admin = std::make_unique<BootAdmin>(access, dialogs);
    Main = std::make_unique<BootloaderMain>(access, *Comms, dialogs);
    Sink.attach(Main.get(), Admin.get());
    Sink.watch(Core->view());
    Lock = std::make_unique<InputLock>(Core->view(), Sink,
                                       QList<QWidget*>{Main.get(), Admin.get(), Comms.get()});
    // A database range's units are recovered from it; a .ser file's from the
    // recovery server, as ever.
    if (Opts.serialLog && !Opts.serialLog->range.isEmpty())
        Main->setRecoveryLog(Opts.serialLog);
    connect(Main.get(), &BootloaderMain::shutdownRequested, this, [this] { Core->shutdown(); });

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
    Core->start(Opts.startPort);
    Comms->hide();
    Admin->hide();
    Main->show();
    Main->setAdminEnabled(Opts.adminEnabled);
    Admin->fitToScreen();
    const QRect frame = Main->frameGeometry();
    Admin->move(frame.x() + frame.width(), frame.y());
    if (Opts.serialLog)
        Admin->serialPane().openLog(*Opts.serialLog);
}

int runBootloader(const BootloaderCore::Options& options, const QStringList& arguments) {
    QApplication::setApplicationName(QStringLiteral("MERLAX Bootloader"));
    QApplication::setApplicationVersion(QString::fromLatin1(kToolVersion));
    // The highlight colours of the buttons show the same on every platform.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Programs and provisions MERLAX modules over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption admin(
        QStringLiteral("admin"), QStringLiteral("Let Ctrl-click on the system label open the admin window."));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral(
            "The port opened at start: a number 1..18, or a device path, which COM10 then stands for."),
        QStringLiteral("PORT"));
    const QCommandLineOption db(
        QStringLiteral("db"),
        QStringLiteral("The serial log the admin window opens at start: a .ser file, or a PostgreSQL address "
                       "(postgresql://...) with --range."),
        QStringLiteral("LOG"));
    const QCommandLineOption range(QStringLiteral("range"),
                                   QStringLiteral("The serial range in the database given with --db."),
                                   QStringLiteral("RANGE"));
    const QCommandLineOption recoveryUrl(
        QStringLiteral("recovery-url"),
        QStringLiteral("The serial recovery server's address (else the setting, else the one built in)."),
        QStringLiteral("URL"));
    parser.addOptions({admin, port, db, range, recoveryUrl});
    parser.process(arguments.isEmpty() ? QApplication::arguments() : arguments);

    const auto refuse = [](const QString& problem) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 4;
    };
    BootloaderApp::Options opts(parser.isSet(admin), options);
    opts.core.recoveryUrl = parser.value(recoveryUrl);
    if (parser.isSet(port)) {
        const std::variant<int, QString> given = parsePortRef(parser.value(port));
        if (const int* number = std::get_if<int>(&given); number && !PortMap::validPort(*number))
            return refuse(QStringLiteral("A port number must be 1..18 (or give a device path)."));
        if (const int* number = std::get_if<int>(&given))
            opts.startPort = *number;
        else
            opts.core.portDevices[opts.startPort] = std::get<QString>(given);
    }
    if (parser.isSet(db)) {
        const LedgerAddress log{parser.value(db), parser.value(range)};
        if (const QString problem = ledgerAddressProblem(log); !problem.isEmpty())
            return refuse(problem);
        opts.serialLog = log;
    }

    QtDialogs dialogs;
    BootloaderApp bootloader(dialogs, opts);
    dialogs.setParentWindow(&bootloader.mainWindow());
    bootloader.start();
    return QApplication::exec();
}

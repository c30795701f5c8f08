// MERLAX Bootloader 1.3. One command-line option: --admin lets the Ctrl-click
// on the main window's system label open the admin window (for production
// stations).

#include "BootloaderApp.h"
#include "BootloaderMain.h"
#include "QtDialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MERLAX Bootloader"));
    QApplication::setApplicationVersion(QStringLiteral("1.3"));
    // The highlight colours of the buttons show the same on every platform.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    const QCommandLineOption admin(
        QStringLiteral("admin"), QStringLiteral("Let Ctrl-click on the system label open the admin window."));
    parser.addOption(admin);
    parser.process(app);

    QtDialogs dialogs;
    BootloaderApp bootloader(dialogs, BootloaderApp::Options{parser.isSet(admin)});
    dialogs.setParentWindow(&bootloader.mainWindow());
    bootloader.start();
    return QApplication::exec();
}

// Starts the tool as a user would, against a virtual module on COM10, clicks
// "Connect to Target", opens the admin window with its gesture and saves
// pictures of the main window, the admin window (its top, and scrolled to its
// end) and the whole screen. scripts/screenshots.sh runs it on a 1366x768
// screen, a small laptop's.

#include "BootAdmin.h"
#include "BootloaderApp.h"
#include "BootloaderMain.h"
#include "ModuleAndCore.h"
#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));

    VirtualModule module;
    module.identity.system = 1;
    module.identity.subsystem = 10;
    module.identity.serial = 4660;
    module.identity.cpuId = {0x1E, 0x95, 0x0F, 0x02};
    QString error;
    if (!module.start(&error)) {
        std::fprintf(stderr, "virtual module: %s\n", qPrintable(error));
        return 1;
    }
    QtDialogs dialogs;
    BootloaderApp bootloader(dialogs, BootloaderApp::Options{true, ModuleAndCore::optionsFor(module)});
    dialogs.setParentWindow(&bootloader.mainWindow());
    bootloader.start();
    if (!QTest::qWaitForWindowExposed(&bootloader.mainWindow()))
        std::fprintf(stderr, "the main window did not appear\n");

    bootloader.mainWindow().findChild<QPushButton*>(QStringLiteral("GetTgtStatuscb"))->click();
    QTest::mouseClick(bootloader.mainWindow().findChild<QLabel*>(QStringLiteral("TgtFwSystemtb")),
                      Qt::LeftButton, Qt::ControlModifier);
    if (!QTest::qWaitForWindowExposed(&bootloader.adminWindow()))
        std::fprintf(stderr, "the admin window did not appear\n");
    QTest::qWait(200); // let both windows finish painting

    QScreen* screen = bootloader.mainWindow().screen();
    bool saved = bootloader.mainWindow().grab().save(out.filePath(QStringLiteral("main-window.png"))) &&
                 bootloader.adminWindow().grab().save(out.filePath(QStringLiteral("admin-window.png"))) &&
                 screen->grabWindow(0).save(out.filePath(QStringLiteral("screen-1366x768.png")));
    auto* scroll = bootloader.adminWindow().findChild<QScrollArea*>(QStringLiteral("AdminScroll"));
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    QTest::qWait(100);
    saved =
        saved && bootloader.adminWindow().grab().save(out.filePath(QStringLiteral("admin-window-end.png")));
    if (!saved) {
        std::fprintf(stderr, "cannot write the pictures into %s\n", qPrintable(out.absolutePath()));
        return 1;
    }
    std::printf(
        "wrote main-window.png, admin-window.png, admin-window-end.png and screen-1366x768.png into %s\n",
        qPrintable(out.absolutePath()));
    return 0;
}

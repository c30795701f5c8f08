// Starts the program as its main() does, on the offscreen platform, told to
// open a virtual module by its path, and reads the module's identity through
// the main window, as a user would.

#include "BootloaderApp.h"
#include "ModuleRig.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    VirtualModule module;
    if (!module.start())
        return 2;
    module.identity = sampleIdentity();

    QString seen = QStringLiteral("the main window is not shown");
    QTimer::singleShot(0, &app, [&] {
        for (QWidget* main : QApplication::topLevelWidgets()) {
            if (main->objectName() != QLatin1String("BootloaderMain") || !main->isVisible())
                continue;
            QTest::mouseClick(main->findChild<QPushButton*>(QStringLiteral("GetTgtStatuscb")),
                              Qt::LeftButton);
            QStringList texts;
            for (const char* label : {"Statustb", "TgtFwSystemtb", "TgtSerialNolb", "ErrorCodelb"})
                texts << main->findChild<QLabel*>(QLatin1String(label))->text();
            seen = texts.join(" | ");
            main->close();
        }
    });
    // A program that never gets going must not hang the suite.
    QTimer::singleShot(20000, &app, [] { QApplication::exit(1); });

    const int status = runBootloader({}, {app.arguments().first(), "--port", module.devicePath()});
    if (status != 0 || seen != "ID Request OK. | Solvane : PWM (FF) | 010A-1234:112233 | InvParam") {
        std::fprintf(stderr, "FAIL: %s (exit %d)\n", qPrintable(seen), status);
        return 1;
    }
    std::printf("PASS: the program starts, reads the module's identity and ends\n");
    return 0;
}

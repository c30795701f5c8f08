// Starts the program as its main() does, on the offscreen platform, with a
// virtual module on COM10, and reads the module's identity through the main
// window, as a user would.

#include "BootloaderApp.h"
#include "ModuleRig.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cstdio>

namespace {
QWidget* topLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name)
            return w;
    return nullptr;
}

QString text(QWidget* window, const char* label) {
    auto* l = window ? window->findChild<QLabel*>(QLatin1String(label)) : nullptr;
    return l ? l->text() : QStringLiteral("<no %1>").arg(QLatin1String(label));
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    VirtualModule module;
    if (!module.start())
        return 2;
    module.identity = sampleIdentity();

    QStringList failures;
    QTimer::singleShot(0, &app, [&] {
        QWidget* main = topLevel(QStringLiteral("BootloaderMain"));
        if (!main || !main->isVisible()) {
            failures << "the main window is not shown";
            QApplication::exit(1);
            return;
        }
        QTest::mouseClick(main->findChild<QPushButton*>(QStringLiteral("GetTgtStatuscb")), Qt::LeftButton);
        const QStringList expected{"ID Request OK.", "Solvane : PWM (FF)", "010A-1234:112233", "InvParam"};
        const QStringList seen{text(main, "Statustb"), text(main, "TgtFwSystemtb"),
                               text(main, "TgtSerialNolb"), text(main, "ErrorCodelb")};
        if (seen != expected)
            failures << "read: " + seen.join(" | ");
        main->close();
    });
    // A program that never gets going must not hang the suite.
    QTimer::singleShot(20000, &app, [&] {
        failures << "the program did not end";
        QApplication::exit(1);
    });

    const int status = runBootloader(app, ModuleAndCore::optionsFor(module));
    for (const QString& failure : failures)
        std::fprintf(stderr, "FAIL: %s\n", qPrintable(failure));
    if (status != 0 || !failures.isEmpty())
        return 1;
    std::printf("PASS: the program starts, reads the module's identity and ends\n");
    return 0;
}

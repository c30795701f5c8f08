// merlax-virtual-module: a module's bootloader on a pseudo-terminal, for
// trying the tool without hardware. Prints the device path the tool should
// open (for example with merlax-bootloader --port <path>) and runs until
// interrupted.

#include "MemoryFile.h"
#include "ModuleOptions.h"
#include "VirtualModule.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char one = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &one, 1);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    VirtualModule module;
    ModuleStartOptions start;
    const QString problem = applyModuleOptions(app.arguments(), module, start);
    if (!problem.isEmpty()) {
        const bool help = app.arguments().contains(QStringLiteral("--help")) ||
                          app.arguments().contains(QStringLiteral("-h"));
        (help ? out : err) << problem << Qt::endl;
        return help ? 0 : 2;
    }

    QString error;
    if (!module.start(&error)) {
        err << "cannot create the pseudo-terminal: " << error << Qt::endl;
        return 1;
    }
    if (!start.symlink.isEmpty()) {
        QFile::remove(start.symlink);
        if (!QFile::link(module.devicePath(), start.symlink)) {
            err << "cannot make the link " << start.symlink << Qt::endl;
            return 1;
        }
    }
    const auto keepMemory = [&] {
        const QString failure = saveMemory(start.memoryFile, module.model());
        if (!failure.isEmpty())
            err << failure << Qt::endl;
    };
    if (!start.memoryFile.isEmpty()) {
        keepMemory(); // so there is something to compare from the start
        QObject::connect(&module, &VirtualModule::memoryChanged, &app, keepMemory);
    }
    out << module.devicePath() << Qt::endl;

    // Quit cleanly on Ctrl-C or kill, saving memory and removing the link.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    const int rc = app.exec();
    if (!start.memoryFile.isEmpty())
        keepMemory();
    if (!start.symlink.isEmpty())
        QFile::remove(start.symlink);
    return rc;
}

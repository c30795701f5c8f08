// merlax-bootloader-cli: the tool's operations from a script or a production
// station, over the same core as the windows. `merlax-bootloader-cli --help`
// lists the commands and the exit codes.

#include "CliRequest.h"
#include "CliRun.h"
#include "Version.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    const CliParse parsed = parseCommandLine(argc, argv);
    if (!parsed.request) {
        std::fputs(qPrintable(parsed.message), parsed.toStandardError ? stderr : stdout);
        return parsed.exitCode;
    }
    // Qt's own event dispatcher: leaner than glib's on every wake-up (a reply,
    // a byte of it), which a command line without windows does not need.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("merlax-bootloader-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kToolVersion));
    return runCli(*parsed.request);
}

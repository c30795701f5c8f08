// Captures a sample firmware file from a virtual master module through the
// tool's own capture, so that a newcomer can try "Load Firmware File" and
// "Program Firmware" against the virtual module at once.
//
//   merlax-sample-firmware FILE [--pages N] [--system S] [--subsystem U]
//
// The master holds a memory of pseudo-random bytes; the file is for modules
// of the given system and sub-system (mask 0x00: any sub-system).

#include "CaptureSettings.h"
#include "Events.h"
#include "ModuleAndCore.h"
#include "Operations.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Captures a sample .fw file from a virtual master module."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The .fw file to write."));
    const QCommandLineOption pages(QStringLiteral("pages"), QStringLiteral("Pages to capture (1..256)."),
                                   QStringLiteral("N"), QStringLiteral("256"));
    const QCommandLineOption system(QStringLiteral("system"), QStringLiteral("System ID."),
                                    QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption subsystem(QStringLiteral("subsystem"), QStringLiteral("Sub-system ID."),
                                       QStringLiteral("U"), QStringLiteral("10"));
    parser.addOptions({pages, system, subsystem});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    QuietSink quiet;
    ModuleAndCore master(quiet);
    master.module.identity.system = static_cast<quint8>(parser.value(system).toUInt());
    master.module.identity.subsystem = static_cast<quint8>(parser.value(subsystem).toUInt());
    master.module.model().setMemory(randomMemory(2026));
    QString error;
    if (!master.start(&error)) {
        std::fprintf(stderr, "virtual module: %s\n", qPrintable(error));
        return 1;
    }
    CaptureSettings capture;
    capture.enterHeaderByte(0, master.module.identity.system);
    capture.enterHeaderByte(1, master.module.identity.subsystem);
    capture.enterHeaderByte(4, 0x00);
    capture.enterPages(parser.value(pages).toInt());
    capture.chooseFile(parser.positionalArguments().first());
    const OperationResult result = master.core->operations().UploadEncryptedFirmware(capture);
    std::printf("%s: %s (%d pages)\n", qPrintable(capture.file), qPrintable(result.status), result.pages);
    return result.succeeded() ? 0 : 1;
}

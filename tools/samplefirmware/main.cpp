// Captures a sample firmware file from a virtual master module through the
// tool's own capture, so that a newcomer can try "Load Firmware File" and
// "Program Firmware" against the virtual module at once.
//
//   merlax-sample-firmware FILE [--pages N] [--system S] [--subsystem U]
//
// The master holds a memory of pseudo-random bytes; the file is for modules
// of the given system and sub-system (mask 0x00: any sub-system).

#include "BootloaderCore.h"
#include "CommsLink.h"
#include "ConsoleReporter.h"
#include "FirmwareCapture.h"
#include "VirtualModule.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRandomGenerator>

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

    VirtualModule master;
    master.identity.system = static_cast<quint8>(parser.value(system).toUInt());
    master.identity.subsystem = static_cast<quint8>(parser.value(subsystem).toUInt());
    QByteArray memory(65536, '\0');
    QRandomGenerator random(2026);
    for (char& c : memory)
        c = static_cast<char>(random.bounded(256));
    master.model().setMemory(memory);
    QString error;
    if (!master.start(&error)) {
        std::fprintf(stderr, "virtual module: %s\n", qPrintable(error));
        return 1;
    }
    qputenv("MERLAX_COM10", master.devicePath().toLocal8Bit());

    ConsoleReporter reporter;
    BootloaderCore core(reporter);
    core.start();
    FirmwareCapture& capture = core.capture();
    capture.EnterHeaderByte(0, master.identity.system);
    capture.EnterHeaderByte(1, master.identity.subsystem);
    capture.EnterHeaderByte(4, 0x00);
    capture.EnterUploadPages(parser.value(pages).toInt());
    capture.ChooseFile(parser.positionalArguments().first());
    const bool done = capture.UploadEncryptedFirmware();
    std::printf("%s: %s (%d pages)\n", qPrintable(capture.FileName()), qPrintable(reporter.lastStatus()),
                capture.PagesUploaded());
    return done ? 0 : 1;
}

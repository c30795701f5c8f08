// merlax-bench: how close programming and capture come to the physical limit
// of a 115200 8N1 serial line, and what this machine can do at all.
//
// Each case runs the tool's own core against a virtual module in a process of
// its own, on a pseudo-terminal: (a) "instant", the module answering at once;
// (b) "line", the module holding every byte for the time it takes on the line
// (and, with --adapter-latency-ms, every reply for an adapter's latency too).
// The reference cases do the same exchanges with plain write/poll/read, no Qt.
// One line per case: case=NAME key=value ...
//
//   merlax-bench [--pages N] [--adapter-latency-ms N] [--soak RUNS]

#include "BenchModule.h"
#include "BenchStats.h"
#include "FrontEnds.h"
#include "ReferenceLoop.h"
#include "Soak.h"

#include "BootloaderCore.h"
#include "CommsLink.h"
#include "Events.h"
#include "FirmwareCapture.h"
#include "Operations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Times one run of the tool's core: the moment each page was acknowledged.
struct ToolRun {
    CaseFigures figures;
    bool ok = false;
};

// The moment each page was done, from the core's progress events; the first
// event (page 0, after the erase of a programming run) starts the clock.
class PageMarks : public EventSink {
public:
    explicit PageMarks(int pages) { Marks.reserve(static_cast<size_t>(pages) + 1); }
    void status(StatusLines, const QString&) override {}
    void critical(const QString& title, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
    void progress(Activity, int done, int) override {
        if (done == 0)
            Clock.start();
        Marks.push_back(Clock.nsecsElapsed());
    }
    const std::vector<qint64>& marks() const { return Marks; }

private:
    QElapsedTimer Clock;
    std::vector<qint64> Marks;
};

ToolRun runTool(const QString& device, bool capture, int pages, const QString& file, double bytesPerPage,
                bool lineRate) {
    PageMarks marks(pages);
    BootloaderCore core(marks);
    core.operations().openPort({device});
    Operations& operations = core.operations();
    operations.RequestTargetID();

    const CpuClock cpu;
    OperationResult result;
    if (capture) {
        CaptureSettings settings;
        settings.enterHeaderByte(4, 0x00);
        settings.enterPages(pages);
        settings.chooseFile(file);
        result = operations.UploadEncryptedFirmware(settings);
    } else {
        operations.LoadFirmwareFile(file);
        result = operations.programFirmware({});
    }
    ToolRun run;
    run.ok = result.succeeded();
    run.figures = figures(marks.marks(), bytesPerPage, lineRate, cpu.elapsedMs());
    return run;
}
} // namespace

int main(int argc, char** argv) {
    // The main window's case draws offscreen unless another platform is named.
    std::vector<char*> arguments(argv, argv + argc);
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    if (std::none_of(arguments.begin(), arguments.end(),
                     [](const char* a) { return std::strcmp(a, "-platform") == 0; })) {
        arguments.push_back(platformOption);
        arguments.push_back(offscreen);
    }
    int count = static_cast<int>(arguments.size());
    // The core's cases run on Qt's own event dispatcher, as the command line
    // does (the windows keep glib's, which desktop dialogs need).
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication app(count, arguments.data());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Programming and capture against the serial line's limit."));
    parser.addHelpOption();
    const QCommandLineOption pagesOption(QStringLiteral("pages"), QStringLiteral("Pages per run (1..256)."),
                                         QStringLiteral("N"), QStringLiteral("256"));
    const QCommandLineOption latencyOption(
        QStringLiteral("adapter-latency-ms"),
        QStringLiteral("A USB adapter's latency per reply in the line cases."), QStringLiteral("N"),
        QStringLiteral("0"));
    const QCommandLineOption soakOption(
        QStringLiteral("soak"), QStringLiteral("Instead: program RUNS times with 1% of replies faulted."),
        QStringLiteral("RUNS"));
    const QCommandLineOption casesOption(
        QStringLiteral("cases"),
        QStringLiteral("Only these cases (comma-separated; a case is chosen by the start of its name): "
                       "program, capture, reference, cli, window, four-cli, log-serial."),
        QStringLiteral("LIST"));
    const QCommandLineOption dbOption(
        QStringLiteral("db"),
        QStringLiteral("The log-serial cases log to this database (postgresql://...) instead of .ser files."),
        QStringLiteral("URI"));
    const QCommandLineOption rangeOption(QStringLiteral("range"),
                                         QStringLiteral("The serial range in the database of --db."),
                                         QStringLiteral("RANGE"));
    const QCommandLineOption stationsOption(
        QStringLiteral("stations"), QStringLiteral("Stations at once in the log-serial case (default 4)."),
        QStringLiteral("N"), QStringLiteral("4"));
    parser.addOptions(
        {pagesOption, latencyOption, soakOption, casesOption, dbOption, rangeOption, stationsOption});
    parser.process(app);
    const int pages = std::clamp(parser.value(pagesOption).toInt(), 1, 256);
    const int latency = std::max(0, parser.value(latencyOption).toInt());
    if (parser.isSet(soakOption))
        return runSoak(parser.value(soakOption).toInt());

    QTemporaryDir folder;
    const QString fw = folder.filePath(QStringLiteral("bench.fw"));
    // Program: a 267-byte frame and a 2-byte acknowledgement a page. Capture:
    // an 11-byte request and a 267-byte page reply.
    constexpr double kProgramBytes = 267 + 2;
    constexpr double kCaptureBytes = 11 + 267;

    const QStringList wanted = parser.value(casesOption).split(u',', Qt::SkipEmptyParts);
    const auto runs = [&wanted](const QString& name) {
        return wanted.isEmpty() || std::any_of(wanted.begin(), wanted.end(),
                                               [&name](const QString& w) { return name.startsWith(w); });
    };

    int failures = 0;
    // The firmware file every case programs: captured first, always.
    for (const bool lineRate : {false, true}) {
        const QString suffix = lineRate ? QStringLiteral("line") : QStringLiteral("instant");
        BenchModule module(folder.path(), lineRate, lineRate ? latency : 0);
        if (!module.start()) {
            std::fprintf(stderr, "cannot start the virtual module\n");
            return 1;
        }
        const ToolRun capture = runTool(module.device(), true, pages, fw, kCaptureBytes, lineRate);
        failures += capture.ok ? 0 : 1;
        if (runs("program-" + suffix)) {
            const ToolRun program = runTool(module.device(), false, pages, fw, kProgramBytes, lineRate);
            failures += program.ok ? 0 : 1;
            printCase("program-" + suffix, program.figures);
        }
        if (runs("capture-" + suffix))
            printCase("capture-" + suffix, capture.figures);
        if (runs("reference-program-" + suffix))
            printCase("reference-program-" + suffix, referenceProgram(module.device(), fw, pages, lineRate));
        if (runs("reference-capture-" + suffix))
            printCase("reference-capture-" + suffix,
                      referenceCapture(module.device(), folder.filePath(QStringLiteral("reference.fw")),
                                       pages, lineRate));
        if (!lineRate)
            continue;
        if (runs(QStringLiteral("cli-program-line"))) {
            const ProgramRun cli = runCommandLine(module.device(), fw);
            failures += cli.ok ? 0 : 1;
            printFrontEndCase(QStringLiteral("cli-program-line"), pages, cli);
        }
        if (runs(QStringLiteral("window-program-line"))) {
            const ProgramRun window = runMainWindow(module.device(), fw);
            failures += window.ok ? 0 : 1;
            printFrontEndCase(QStringLiteral("window-program-line"), pages, window);
        }
    }
    if (runs(QStringLiteral("four-cli-line"))) {
        // Four fixtures, each bound by its own line: as fast as one alone.
        std::vector<std::unique_ptr<BenchModule>> fixtures;
        QStringList devices;
        for (int i = 0; i < 4; ++i) {
            fixtures.push_back(std::make_unique<BenchModule>(folder.path(), true, latency));
            if (!fixtures.back()->start())
                return 1;
            devices << fixtures.back()->device();
        }
        const ProgramRun one = runCommandLine(devices.first(), fw);
        const ProgramRun four = runCommandLines(devices, fw);
        failures += one.ok && four.ok ? 0 : 1;
        printFrontEndCase(QStringLiteral("one-cli-line"), pages, one);
        printFrontEndCase(QStringLiteral("four-cli-line"), pages, four);
        std::printf("case=four-against-one wall_ratio=%.4f\n", one.wallS > 0 ? four.wallS / one.wallS : 0);
    }
    if (runs(QStringLiteral("log-serial"))) {
        // Stations numbering and programming blank modules from one log: one
        // alone, then several at once, which share the log only while they
        // reserve and record.
        const int stations = std::clamp(parser.value(stationsOption).toInt(), 1, 64);
        const auto log = [&](const QString& file) {
            return parser.isSet(dbOption) ? QStringList{QStringLiteral("--db"), parser.value(dbOption),
                                                        QStringLiteral("--range"), parser.value(rangeOption)}
                                          : QStringList{QStringLiteral("--db"), folder.filePath(file)};
        };
        std::vector<std::unique_ptr<BenchModule>> fixtures;
        QStringList devices;
        for (int i = 0; i <= stations; ++i) {
            fixtures.push_back(std::make_unique<BenchModule>(
                folder.path(), true, latency, QStringList{QStringLiteral("--init"), QStringLiteral("255")}));
            if (!fixtures.back()->start())
                return 1;
            devices << fixtures.back()->device();
        }
        const ProgramRun one = runLoggingStations(devices.mid(0, 1), log(QStringLiteral("one.ser")), fw);
        const ProgramRun many = runLoggingStations(devices.mid(1), log(QStringLiteral("many.ser")), fw);
        failures += one.ok && many.ok ? 0 : 1;
        printFrontEndCase(QStringLiteral("log-serial-one-line"), pages, one, true);
        printFrontEndCase(QStringLiteral("log-serial-%1-line").arg(stations), pages, many, true);
        std::printf("case=log-serial-%d-against-one wall_ratio=%.4f\n", stations,
                    one.wallS > 0 ? many.wallS / one.wallS : 0);
    }
    return failures == 0 ? 0 : 1;
}

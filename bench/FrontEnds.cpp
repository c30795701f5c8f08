#include "FrontEnds.h"

#include "BootloaderApp.h"
#include "BootloaderMain.h"
#include "Dialogs.h"
#include "Operations.h"
#include "WindowSink.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

double childrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Dialogs nobody answers: the bench never opens one.
class NoDialogs : public Dialogs {
public:
    void critical(const QString& title, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const FileDialogSettings&) override { return {}; }
    QString saveFile(const FileDialogSettings&) override { return {}; }
};

// The identity read, the erase and the pages, on the line; for a logged unit
// also the ID block written (11 + 2 bytes) between two more identity reads.
double wireSeconds(int pages, bool logged) {
    const int serialStep = logged ? (3 + 31) * 2 + (11 + 2) : 0;
    return ((3 + 31) + serialStep + (3 + 2) + pages * (267 + 2)) * kByteTimeUs / 1e6;
}

// Command lines at once, one a device with its own arguments after it.
ProgramRun runCommandLines(const QStringList& devices, const QStringList& arguments, QSet<int>* serials) {
    const double cpuBefore = childrenCpuMs();
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString& device : devices) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->start(QStringLiteral(MERLAX_CLI),
                           QStringList{QStringLiteral("--port"), device, QStringLiteral("--json")} +
                               arguments);
    }
    ProgramRun result{true, 0, 0};
    for (auto& run : runs) {
        run->waitForFinished(120000);
        const QJsonObject answer = QJsonDocument::fromJson(run->readAllStandardOutput()).object();
        result.ok = result.ok && run->exitCode() == 0;
        result.wallS = std::max(result.wallS, answer.value(QStringLiteral("elapsedMs")).toDouble() / 1000.0);
        if (serials)
            serials->insert(answer.value(QStringLiteral("serial")).toInt());
    }
    result.cpuMs = childrenCpuMs() - cpuBefore;
    return result;
}

} // namespace

ProgramRun runCommandLines(const QStringList& devices, const QString& firmwareFile) {
    return runCommandLines(devices, {QStringLiteral("program"), firmwareFile}, nullptr);
}

ProgramRun runLoggingStations(const QStringList& devices, const QStringList& log,
                              const QString& firmwareFile) {
    QSet<int> serials;
    ProgramRun run =
        runCommandLines(devices,
                        QStringList{QStringLiteral("log-serial")} + log +
                            QStringList{QStringLiteral("--program"), firmwareFile, QStringLiteral("--block"),
                                        QStringLiteral("90,1,10,0,0,0,0,0")},
                        &serials);
    run.ok = run.ok && serials.size() == devices.size() && !serials.contains(0);
    return run;
}

ProgramRun runCommandLine(const QString& device, const QString& firmwareFile) {
    return runCommandLines({device}, firmwareFile);
}

ProgramRun runMainWindow(const QString& device, const QString& firmwareFile) {
    NoDialogs dialogs;
    BootloaderCore::Options core;
    core.portDevices[10] = device;
    BootloaderApp app(dialogs, {false, core});
    app.start();
    app.core().operations().LoadFirmwareFile(firmwareFile);
    auto* connect = app.mainWindow().findChild<QPushButton*>(QStringLiteral("GetTgtStatuscb"));
    auto* program = app.mainWindow().findChild<QPushButton*>(QStringLiteral("ProgramFwcb"));
    int complete = 0;
    QObject::connect(&app.sink(), &WindowSink::coreChanged, &app,
                     [&complete](Change what) { complete += what == Change::FirmwareProgrammed ? 1 : 0; });
    QElapsedTimer clock;
    const CpuClock cpu;
    clock.start();
    connect->click();
    program->click();
    ProgramRun run;
    run.wallS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.cpuMs = cpu.elapsedMs();
    run.ok = complete == 1;
    return run;
}

void printFrontEndCase(const QString& name, int pages, const ProgramRun& run, bool logged) {
    const double wire = wireSeconds(pages, logged);
    std::printf(
        "case=%s pages=%d ok=%d wall_s=%.4f wire_s=%.4f ratio=%.4f cpu_pct=%.2f cpu_ms_per_page=%.3f\n",
        qPrintable(name), pages, run.ok ? 1 : 0, run.wallS, wire, wire > 0 ? run.wallS / wire : 0,
        run.wallS > 0 ? run.cpuMs / (run.wallS * 10.0) : 0, pages > 0 ? run.cpuMs / pages : 0);
    std::fflush(stdout);
}

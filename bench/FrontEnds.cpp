#include "FrontEnds.h"

#include "BootloaderApp.h"
#include "BootloaderMain.h"
#include "Dialogs.h"
#include "FirmwareProgrammer.h"
#include "Operations.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

double childrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
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

// The identity read, the erase and the pages, on the line.
double wireSeconds(int pages) {
    return ((3 + 31) + (3 + 2) + pages * (267 + 2)) * kByteTimeUs / 1e6;
}

} // namespace

ProgramRun runCommandLines(const QStringList& devices, const QString& firmwareFile) {
    const double cpuBefore = childrenCpuMs();
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString& device : devices) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->start(QStringLiteral(MERLAX_CLI),
                           {QStringLiteral("--port"), device, QStringLiteral("--json"),
                            QStringLiteral("program"), firmwareFile});
    }
    ProgramRun result{true, 0, 0};
    for (auto& run : runs) {
        run->waitForFinished(120000);
        const QJsonObject answer = QJsonDocument::fromJson(run->readAllStandardOutput()).object();
        result.ok = result.ok && run->exitCode() == 0;
        result.wallS = std::max(result.wallS, answer.value(QStringLiteral("elapsedMs")).toDouble() / 1000.0);
    }
    result.cpuMs = childrenCpuMs() - cpuBefore;
    return result;
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
    QSignalSpy complete(&app.core().programmer(), &FirmwareProgrammer::programComplete);
    QElapsedTimer clock;
    const CpuClock cpu;
    clock.start();
    connect->click();
    program->click();
    ProgramRun run;
    run.wallS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.cpuMs = cpu.elapsedMs();
    run.ok = complete.size() == 1;
    return run;
}

void printFrontEndCase(const QString& name, int pages, const ProgramRun& run) {
    const double wire = wireSeconds(pages);
    std::printf(
        "case=%s pages=%d ok=%d wall_s=%.4f wire_s=%.4f ratio=%.4f cpu_pct=%.2f cpu_ms_per_page=%.3f\n",
        qPrintable(name), pages, run.ok ? 1 : 0, run.wallS, wire, wire > 0 ? run.wallS / wire : 0,
        run.wallS > 0 ? run.cpuMs / (run.wallS * 10.0) : 0, pages > 0 ? run.cpuMs / pages : 0);
    std::fflush(stdout);
}

#include "Soak.h"

#include "BenchStats.h"

#include "Events.h"
#include "FirmwareCapture.h"
#include "ModuleAndCore.h"
#include "Operations.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {
using Kind = PlannedFault::Kind;

constexpr int kPages = 16;
constexpr Kind kKinds[] = {Kind::NoReply, Kind::Refuse, Kind::BadChecksum, Kind::Garbage,
                           Kind::Pause,   Kind::Delay,  Kind::DoubleAck};

bool harmless(Kind kind) {
    // A wrong checksum touches only data replies; these are acknowledgements.
    return kind == Kind::BadChecksum || kind == Kind::Garbage || kind == Kind::DoubleAck;
}

// The text a run ends with when its first harmful fault hits frame `frame`
// (0 the erase, then the pages).
QString textFor(int frame, Kind kind) {
    const bool refused = kind == Kind::Refuse;
    if (frame == 0)
        return refused ? QStringLiteral("Erase Failed.") : QStringLiteral("No response.");
    return refused ? QStringLiteral("Program Failed (Program Error).")
                   : QStringLiteral("Program Failed (No Response).");
}
} // namespace

int runSoak(int runs) {
    QuietSink quiet;
    ModuleAndCore rig(quiet);
    QString error;
    if (!rig.start(&error)) {
        std::fprintf(stderr, "virtual module: %s\n", qPrintable(error));
        return 1;
    }
    VirtualModule& module = rig.module;
    Operations& operations = rig.core->operations();
    QTemporaryDir folder;
    CaptureSettings settings;
    settings.enterHeaderByte(4, 0x00);
    settings.enterPages(kPages);
    settings.chooseFile(folder.filePath(QStringLiteral("soak.fw")));
    if (!operations.UploadEncryptedFirmware(settings).succeeded() ||
        !operations.LoadFirmwareFile(folder.filePath(QStringLiteral("soak.fw"))).succeeded())
        return 1;

    QRandomGenerator random(1);
    int completed = 0, failed = 0, wrong = 0, faults = 0;
    long residentAfter10 = 0;
    QElapsedTimer clock;
    clock.start();
    double longestRunMs = 0;
    for (int run = 1; run <= runs; ++run) {
        module.faults = {};
        module.clearHeardFrames();
        QString expected = QStringLiteral("Program complete.");
        for (int frame = 0; frame <= kPages; ++frame) {
            if (random.bounded(100) != 0)
                continue;
            const Kind kind = kKinds[random.bounded(static_cast<int>(std::size(kKinds)))];
            const int ms = kind == Kind::Pause ? 250 : kind == Kind::Delay ? 1600 : 0;
            module.faults.plan(frame == 0 ? 17 : 18, frame == 0 ? 1 : frame, {kind, ms});
            ++faults;
            if (!harmless(kind) && expected == QStringLiteral("Program complete."))
                expected = textFor(frame, kind);
        }
        QElapsedTimer runClock;
        runClock.start();
        const OperationResult result = operations.programFirmware({});
        longestRunMs = std::max(longestRunMs, static_cast<double>(runClock.elapsed()));
        (result.succeeded() ? completed : failed) += 1;
        if (result.status != expected) {
            ++wrong;
            std::fprintf(stderr, "run %d: \"%s\", expected \"%s\"\n", run, qPrintable(result.status),
                         qPrintable(expected));
        }
        if (run == 10)
            residentAfter10 = residentKib();
    }
    const long residentLast = residentKib();
    const double growth = residentAfter10 > 0 ? 100.0 * static_cast<double>(residentLast - residentAfter10) /
                                                    static_cast<double>(residentAfter10)
                                              : 0;
    std::printf(
        "case=soak runs=%d completed=%d failed=%d wrong_text=%d faults=%d wall_s=%.1f longest_run_ms=%.0f "
        "rss_after_10_kib=%ld rss_after_last_kib=%ld growth_pct=%.2f\n",
        runs, completed, failed, wrong, faults, static_cast<double>(clock.elapsed()) / 1000.0, longestRunMs,
        residentAfter10, residentLast, growth);
    return wrong == 0 && growth <= 5.0 ? 0 : 1;
}

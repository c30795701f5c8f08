// Identity round trips against the virtual module with line-rate emulation:
// how close does one request-and-reply come to the time the bytes need on a
// 115200 8N1 line?

#include "ModuleRig.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 100;

    ModuleRig rig(LinkTimings{});
    rig.module.faults.lineRate = true;

    // Request 5A 10 10 (3 bytes) and reply 5A 20 + 28 data + checksum (31 bytes).
    const double lineLimitMs = (3 + 31) * 10.0 / 115200.0 * 1000.0;

    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuMilliseconds();
    int ok = 0;
    for (int i = 0; i < rounds; ++i) {
        ok += rig.target().RequestIDFromTarget() == Outcome::Succeeded ? 1 : 0;
    }
    const double elapsedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double cpuMs = cpuMilliseconds() - cpuBefore;
    const double perRound = elapsedMs / rounds;

    std::printf("identity round trips: %d of %d answered\n", ok, rounds);
    std::printf("per round trip: %.3f ms; line limit %.3f ms; ratio %.2f\n", perRound, lineLimitMs,
                perRound / lineLimitMs);
    std::printf("CPU per round trip: %.3f ms\n", cpuMs / rounds);
    return ok == rounds ? 0 : 1;
}

#pragma once

#include <QString>

#include <vector>

// A 115200 8N1 line carries ten bits a byte.
inline constexpr double kByteTimeUs = 10.0 * 1e6 / 115200.0;

struct CaseFigures {
    int pages = 0;
    double wallS = 0;
    double wireS = 0;
    double overheadUsP50 = 0;
    double overheadUsP99 = 0;
    double cpuMs = 0;
    long peakKib = 0;
};

// Process CPU time since construction.
class CpuClock {
public:
    CpuClock();
    double elapsedMs() const;

private:
    double StartMs;
};

// Figures of a run from the moments (ns) it started and finished each page.
// The host's overhead per page is the page's time less the time its bytes
// need on the line (none when the module answers at once).
CaseFigures figures(const std::vector<qint64>& marksNs, double bytesPerPage, bool lineRate, double cpuMs);
void printCase(const QString& name, const CaseFigures& figures);
// Resident memory of this process now, in KiB.
long residentKib();

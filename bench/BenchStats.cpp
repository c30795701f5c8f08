#include "BenchStats.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
double cpuNowMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    return values[std::min(index, values.size() - 1)];
}
} // namespace

CpuClock::CpuClock() : StartMs(cpuNowMs()) {}
double CpuClock::elapsedMs() const {
    return cpuNowMs() - StartMs;
}

CaseFigures figures(const std::vector<qint64>& marksNs, double bytesPerPage, bool lineRate, double cpuMs) {
    CaseFigures f;
    if (marksNs.size() < 2)
        return f;
    f.pages = static_cast<int>(marksNs.size() - 1);
    f.wallS = static_cast<double>(marksNs.back() - marksNs.front()) / 1e9;
    f.wireS = f.pages * bytesPerPage * kByteTimeUs / 1e6;
    const double lineUs = lineRate ? bytesPerPage * kByteTimeUs : 0.0;
    std::vector<double> overhead;
    for (size_t i = 1; i < marksNs.size(); ++i)
        overhead.push_back(static_cast<double>(marksNs[i] - marksNs[i - 1]) / 1e3 - lineUs);
    f.overheadUsP50 = percentile(overhead, 0.50);
    f.overheadUsP99 = percentile(overhead, 0.99);
    f.cpuMs = cpuMs;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    f.peakKib = usage.ru_maxrss;
    return f;
}

void printCase(const QString& name, const CaseFigures& f) {
    const double pagesPerS = f.wallS > 0 ? f.pages / f.wallS : 0;
    std::printf(
        "case=%s pages=%d wall_s=%.4f wire_s=%.4f ratio=%.4f overhead_us_p50=%.1f overhead_us_p99=%.1f "
        "pages_per_s=%.0f cpu_pct=%.2f peak_kib=%ld\n",
        qPrintable(name), f.pages, f.wallS, f.wireS, f.wireS > 0 ? f.wallS / f.wireS : 0, f.overheadUsP50,
        f.overheadUsP99, pagesPerS, f.wallS > 0 ? f.cpuMs / (f.wallS * 10.0) : 0, f.peakKib);
    std::fflush(stdout);
}

long residentKib() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

#include "PreciseTimer.h"

#include <algorithm>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {
constexpr qint64 kNsPerSecond = 1'000'000'000;

itimerspec onceAt(qint64 ns) {
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
    when.it_value.tv_nsec = static_cast<long>(ns % kNsPerSecond);
    return when;
}
} // namespace

PreciseTimer::PreciseTimer(QObject* parent) : QObject(parent) {
    Fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (Fd < 0)
        qFatal("timerfd_create failed");
    Expired = std::make_unique<QSocketNotifier>(Fd, QSocketNotifier::Read);
    connect(Expired.get(), &QSocketNotifier::activated, this, &PreciseTimer::onExpired);
}

PreciseTimer::~PreciseTimer() {
    Expired.reset();
    ::close(Fd);
}

qint64 PreciseTimer::now() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<qint64>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

void PreciseTimer::startAt(qint64 monotonicNs, Precision precision) {
    FireAtNs = precision == Precision::Exact ? monotonicNs : 0;
    const qint64 wakeNs = precision == Precision::Exact ? monotonicNs - kWakeAheadNs : monotonicNs;
    // A zero time would disarm the timer instead of firing it.
    const itimerspec when = onceAt(std::max<qint64>(wakeNs, 1));
    ::timerfd_settime(Fd, TFD_TIMER_ABSTIME, &when, nullptr);
}

void PreciseTimer::onExpired() {
    quint64 expirations = 0;
    if (::read(Fd, &expirations, sizeof expirations) != sizeof expirations)
        return; // disarmed or re-armed since it became readable
    while (now() < FireAtNs) {
        // the rest of an exact wait: shorter than kWakeAheadNs
    }
    emit timeout();
}

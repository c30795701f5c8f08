#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// A single-shot timer that fires at a point of the monotonic clock: a QTimer
// rounds to whole milliseconds, more than ten bytes of a 115200 baud line.
// Linux only (timerfd). A plain start fires within the event loop's wake-up
// time (tens of microseconds); an exact one wakes that much early and waits
// out the rest on the clock, which costs at most kWakeAheadNs of CPU.
class PreciseTimer : public QObject {
    Q_OBJECT
public:
    explicit PreciseTimer(QObject* parent = nullptr);
    ~PreciseTimer() override;
    PreciseTimer(const PreciseTimer&) = delete;
    PreciseTimer& operator=(const PreciseTimer&) = delete;

    // The monotonic clock in nanoseconds, the clock startAt() counts in.
    static qint64 now();

    static constexpr qint64 kWakeAheadNs = 100'000;
    enum class Precision { WakeUp, Exact };

    // Fires once at that time, at once when it has passed; replaces any earlier start.
    void startAt(qint64 monotonicNs, Precision precision = Precision::WakeUp);

signals:
    void timeout();

private:
    void onExpired();

    int Fd = -1;
    qint64 FireAtNs = 0; // for an exact start; the timerfd goes off earlier
    std::unique_ptr<QSocketNotifier> Expired;
};

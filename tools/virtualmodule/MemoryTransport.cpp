#include "MemoryTransport.h"

#include "PreciseTimer.h"

namespace {
constexpr qint64 kNsPerMs = 1'000'000;
} // namespace

MemoryTransport::MemoryTransport(QObject* parent) : Transport(parent), Delivery(this) {
    Delivery.setSingleShot(true);
    Delivery.setTimerType(Qt::PreciseTimer);
    connect(&Delivery, &QTimer::timeout, this, &MemoryTransport::deliverDue);
}

bool MemoryTransport::open(const QString& device) {
    if (device != kDevice || Pulled) {
        Error = QStringLiteral("No such file or directory");
        return false;
    }
    Open = true;
    Error.clear();
    scheduleDelivery();
    return true;
}

void MemoryTransport::close() {
    Open = false;
    Delivery.stop();
}

bool MemoryTransport::setLine(const LineSettings::Line& line) {
    if (refusedBauds.contains(line.baud))
        return false;
    Baud = line.baud;
    return true;
}

QString MemoryTransport::write(const QByteArray& frame) {
    if (Pulled)
        return QStringLiteral("Input/output error");
    const qint64 now = PreciseTimer::now();
    for (const char b : frame)
        if (const auto reply = module.hear(static_cast<quint8>(b), Baud, now))
            answer(*reply, now);
    return {};
}

void MemoryTransport::answer(const ModuleEngine::Answer& answer, qint64 nowNs) {
    if (answer.hangUp) {
        module.forgetFrame();
        failReading();
        return;
    }
    const qint64 start = nowNs + answer.delayMs * kNsPerMs;
    const auto half = answer.pauseMs > 0 ? answer.bytes.size() / 2 : answer.bytes.size();
    schedule(answer.bytes.left(half), start);
    schedule(answer.bytes.mid(half), start + answer.pauseMs * kNsPerMs);
}

void MemoryTransport::sendRaw(const QByteArray& bytes) {
    schedule(bytes, PreciseTimer::now());
}

void MemoryTransport::schedule(const QByteArray& bytes, qint64 dueNs) {
    if (bytes.isEmpty())
        return;
    Line.push_back({bytes, dueNs});
    scheduleDelivery();
}

void MemoryTransport::scheduleDelivery() {
    if (!Open || Line.empty()) {
        Delivery.stop();
        return;
    }
    const qint64 waitNs = std::max<qint64>(0, Line.front().dueNs - PreciseTimer::now());
    Delivery.start(static_cast<int>((waitNs + kNsPerMs - 1) / kNsPerMs));
}

void MemoryTransport::deliverDue() {
    const qint64 now = PreciseTimer::now();
    QByteArray arrived;
    while (Open && !Line.empty() && Line.front().dueNs <= now) {
        arrived += Line.front().bytes;
        Line.pop_front();
    }
    scheduleDelivery();
    if (!byteByByte && !arrived.isEmpty())
        emit bytesArrived(arrived);
    for (qsizetype i = 0; byteByByte && i < arrived.size(); ++i)
        emit bytesArrived(arrived.mid(i, 1));
}

void MemoryTransport::discardInput() {
    const qint64 now = PreciseTimer::now();
    while (!Line.empty() && Line.front().dueNs <= now)
        Line.pop_front();
    scheduleDelivery();
}

void MemoryTransport::pullCable() {
    Pulled = true;
    failReading();
}

void MemoryTransport::failReading() {
    // As a port tells it: from its own notification, after the write returned.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (Open)
                emit readFailed(QStringLiteral("Input/output error"));
        },
        Qt::QueuedConnection);
}

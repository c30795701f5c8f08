#include "VirtualModule.h"

#include <QtDebug>

#include <algorithm>
#include <unistd.h>

namespace {
constexpr qint64 kNsPerMs = 1'000'000;
constexpr qint64 kChunkNs = kNsPerMs;
} // namespace

VirtualModule::VirtualModule(QObject* parent) : ModuleEngine(parent), OutputTimer(this) {
    connect(&OutputTimer, &PreciseTimer::timeout, this, &VirtualModule::drainOutput);
}

VirtualModule::~VirtualModule() = default;

bool VirtualModule::start(QString* error) {
    if (!Pty.open(error))
        return false;
    Readable = std::make_unique<QSocketNotifier>(Pty.masterFd(), QSocketNotifier::Read);
    connect(Readable.get(), &QSocketNotifier::activated, this, [this] { readOnce(); });
    return true;
}

void VirtualModule::holdInput(bool held) {
    if (!Readable)
        return;
    Readable->setEnabled(!held);
    while (!held && readOnce()) {
    }
}

void VirtualModule::pullCable() {
    Readable.reset();
    Pty.closeModuleSide();
}

bool VirtualModule::hangUp(QString* error) {
    forgetFrame();
    return Pty.hangUp(error);
}

bool VirtualModule::readOnce() {
    char buffer[4096];
    const ssize_t n = ::read(Pty.masterFd(), buffer, sizeof buffer);
    if (n <= 0)
        return false; // EAGAIN, or a hung-up line until the slave is open again
    const qint64 now = PreciseTimer::now();
    const int baud = Pty.baudRate();
    for (ssize_t i = 0; i < n; ++i) {
        // The pseudo-terminal hands over a whole frame at once; on a real line
        // each byte is in only when its ten bits have passed.
        ReceiveLineNs = faults.lineRate ? std::max(now, ReceiveLineNs) + kByteTimeNs : now;
        if (const auto answer = hear(static_cast<quint8>(buffer[i]), baud, now))
            send(*answer);
    }
    return true;
}

void VirtualModule::send(const Answer& answer) {
    if (answer.hangUp) {
        QString error;
        if (!hangUp(&error))
            qWarning("virtual module: cannot hang up: %s", qPrintable(error));
        return;
    }
    // The answer starts when the command's last byte is in.
    const qint64 start = ReceiveLineNs + answer.delayMs * kNsPerMs;
    if (answer.pauseMs > 0) {
        const auto half = answer.bytes.size() / 2;
        transmit(answer.bytes.left(half), start);
        transmit(answer.bytes.mid(half), TransmitLineNs + answer.pauseMs * kNsPerMs);
    } else {
        transmit(answer.bytes, start);
    }
}

void VirtualModule::transmit(const QByteArray& bytes, qint64 startNs) {
    // At the line's pace a byte reaches the other end when its ten bits have
    // passed; the adapter then holds it until its latency timer runs out.
    qint64 lineNs = faults.lineRate ? std::max(startNs, TransmitLineNs) : startNs;
    const qint64 latencyNs = faults.adapterLatencyMs * kNsPerMs;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (faults.lineRate)
            lineNs += kByteTimeNs;
        Output.push_back({bytes[i], lineNs + latencyNs, i == bytes.size() - 1});
    }
    TransmitLineNs = lineNs;
    drainOutput();
}

void VirtualModule::drainOutput() {
    const qint64 now = PreciseTimer::now();
    QByteArray ready;
    while (!Output.empty() && Output.front().dueNs <= now) {
        ready.append(Output.front().byte);
        Output.pop_front();
    }
    if (!ready.isEmpty()) {
        // A full buffer (nobody reading) loses bytes, as a real line would.
        [[maybe_unused]] const ssize_t written =
            ::write(Pty.masterFd(), ready.constData(), static_cast<size_t>(ready.size()));
    }
    if (Output.empty())
        return;
    // The end of a burst (a reply, or its part before a pause) is what the
    // tool waits for, so it goes out on time to the microsecond. The bytes
    // before it go in chunks of up to a millisecond of line time, as a USB
    // adapter passes them on, rather than with a wake-up each.
    const auto burstEnd =
        std::find_if(Output.cbegin(), Output.cend(), [](const TimedByte& b) { return b.endsBurst; });
    const qint64 chunkEndNs = Output.front().dueNs + kChunkNs;
    if (burstEnd->dueNs <= chunkEndNs)
        OutputTimer.startAt(burstEnd->dueNs, PreciseTimer::Precision::Exact);
    else
        OutputTimer.startAt(chunkEndNs);
}

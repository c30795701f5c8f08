#include "VirtualModule.h"

#include <QtDebug>

#include <algorithm>
#include <unistd.h>

namespace {
constexpr quint8 kSync = 0x5A;
constexpr quint8 kRestartIntoBootloader = 3;
constexpr quint8 kRestartIntoBootloaderData = 254;
constexpr quint8 kRestart = 27;
constexpr qint64 kInterByteGapNs = 200'000'000; // the module drops a frame after 200 ms of silence
constexpr qint64 kNsPerMs = 1'000'000;
constexpr qint64 kChunkNs = kNsPerMs;
constexpr quint8 kErrorMsgChecksum = 2;

bool contains(const QList<PlannedFault>& planned, PlannedFault::Kind kind) {
    return std::any_of(planned.cbegin(), planned.cend(),
                       [kind](const PlannedFault& fault) { return fault.kind == kind; });
}
} // namespace

VirtualModule::VirtualModule(QObject* parent) : QObject(parent), identity(Model.identity), OutputTimer(this) {
    connect(&OutputTimer, &PreciseTimer::timeout, this, &VirtualModule::drainOutput);
}

VirtualModule::~VirtualModule() = default;

bool VirtualModule::start(QString* error) {
    if (!Pty.open(error))
        return false;
    Readable = std::make_unique<QSocketNotifier>(Pty.masterFd(), QSocketNotifier::Read);
    connect(Readable.get(), &QSocketNotifier::activated, this, &VirtualModule::onReadable);
    return true;
}

void VirtualModule::pullCable() {
    Readable.reset();
    Pty.closeModuleSide();
}

bool VirtualModule::hangUp(QString* error) {
    Collecting.clear();
    Expected = -1;
    return Pty.hangUp(error);
}

void VirtualModule::onReadable() {
    char buffer[4096];
    const ssize_t n = ::read(Pty.masterFd(), buffer, sizeof buffer);
    if (n <= 0)
        return; // EAGAIN, or a hung-up line until the slave is open again
    const qint64 now = PreciseTimer::now();
    const int baud = Pty.baudRate();
    for (ssize_t i = 0; i < n; ++i)
        takeByte(static_cast<quint8>(buffer[i]), baud, now);
}

int VirtualModule::dataLengthFor(quint8 code) {
    switch (code) {
    case 16:
    case 17:
    case 23:
    case 26:
    case 27:
        return 0;
    case 18:
        return 264;
    case 19:
    case 20:
        return 8;
    case kRestartIntoBootloader:
        return 1;
    default:
        return -1;
    }
}

void VirtualModule::takeByte(quint8 b, int baud, qint64 now) {
    // The pseudo-terminal hands over a whole frame at once; on a real line
    // each byte is in only when its ten bits have passed.
    ReceiveLineNs = faults.lineRate ? std::max(now, ReceiveLineNs) + kByteTimeNs : now;
    if (!Collecting.isEmpty() && now - LastByteNs > kInterByteGapNs) {
        Collecting.clear();
        Expected = -1;
    }
    LastByteNs = now;

    if (Collecting.isEmpty()) {
        if (b == kSync) {
            Collecting.append(static_cast<char>(b));
            CollectingBaud = baud;
        }
        return;
    }
    Collecting.append(static_cast<char>(b));
    if (Expected < 0) {
        const int dataLength = dataLengthFor(b);
        if (dataLength < 0) { // not a command this module knows
            Collecting.clear();
            return;
        }
        Expected = dataLength + 2;
    }
    if (Collecting.size() - 1 == Expected) {
        HeardFrame frame{Collecting, CollectingBaud};
        Collecting.clear();
        Expected = -1;
        handleFrame(frame);
    }
}

void VirtualModule::handleFrame(const HeardFrame& frame) {
    Heard.append(frame);
    emit frameHeard(frame.bytes, frame.baud);
    ++FramesHeard;

    const auto code = static_cast<quint8>(frame.bytes[1]);
    const QByteArray data = frame.bytes.mid(2, frame.bytes.size() - 3);
    const bool checksumOK =
        byteSum(frame.bytes.mid(1, frame.bytes.size() - 2)) == static_cast<quint8>(frame.bytes.back());

    if (InApplication) {
        // The application hears only the request to return to the bootloader,
        // and only at its own speed.
        if (frame.baud == kApplicationBaud && code == kRestartIntoBootloader && checksumOK &&
            static_cast<quint8>(data[0]) == kRestartIntoBootloaderData)
            InApplication = false;
        return;
    }
    if (frame.baud != kBootloaderBaud)
        return; // at another speed the bootloader hears only noise
    if (faults.stopAfterFrames >= 0 && FramesHeard > faults.stopAfterFrames)
        return;
    const QList<PlannedFault> planned = faults.nextFrame(code);
    if (contains(planned, PlannedFault::Kind::HangUp)) {
        QString error;
        if (!hangUp(&error))
            qWarning("virtual module: cannot hang up: %s", qPrintable(error));
        return;
    }
    if (faults.unanswered.contains(code) || contains(planned, PlannedFault::Kind::NoReply) ||
        code == kRestartIntoBootloader)
        return;
    if (!checksumOK) {
        identity.lastError = kErrorMsgChecksum;
        send(ModuleReply::refused(), planned);
        return;
    }
    if (faults.refused.contains(code) || contains(planned, PlannedFault::Kind::Refuse)) {
        send(ModuleReply::refused(), planned);
        return;
    }
    const quint64 revision = Model.memoryRevision();
    send(Model.answer(code, data), planned);
    if (code == kRestart)
        InApplication = true;
    if (Model.memoryRevision() != revision)
        emit memoryChanged();
}

void VirtualModule::send(const ModuleReply& reply, const QList<PlannedFault>& planned) {
    qint64 delayMs = faults.replyDelayMs;
    qint64 pauseMs = faults.pauseMs;
    bool badChecksum = faults.badChecksum;
    QByteArray garbage = faults.garbage;
    bool doubled = false;
    for (const PlannedFault& fault : planned) {
        switch (fault.kind) {
        case PlannedFault::Kind::BadChecksum:
            badChecksum = true;
            break;
        case PlannedFault::Kind::Garbage:
            garbage += QByteArray::fromHex("00FF13");
            break;
        case PlannedFault::Kind::Pause:
            pauseMs += fault.ms;
            break;
        case PlannedFault::Kind::Delay:
            delayMs += fault.ms;
            break;
        case PlannedFault::Kind::DoubleAck:
            doubled = true;
            break;
        default: // whether there is a reply at all was settled before
            break;
        }
    }
    QByteArray frame = reply.frame();
    if (badChecksum && reply.kind == ModuleReply::Kind::Data)
        frame.back() = static_cast<char>(frame.back() + 1);
    const QByteArray bytes = garbage + frame + (doubled ? frame : QByteArray());

    // The reply starts when the command's last byte is in.
    const qint64 start = ReceiveLineNs + delayMs * kNsPerMs;
    if (pauseMs > 0) {
        const auto half = bytes.size() / 2;
        transmit(bytes.left(half), start);
        transmit(bytes.mid(half), TransmitLineNs + pauseMs * kNsPerMs);
    } else {
        transmit(bytes, start);
    }
    emit replySent(frame);
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

#include "VirtualModule.h"

#include <cerrno>
#include <unistd.h>

namespace {
constexpr quint8 kSync = 0x5A;
constexpr quint8 kAccepted = 91;
constexpr quint8 kRefused = 171;
constexpr quint8 kIdentityReply = 32;
constexpr quint8 kRestartIntoBootloader = 3;
constexpr quint8 kRestartIntoBootloaderData = 254;
constexpr quint8 kRestart = 27;
constexpr qint64 kInterByteGapNs = 200'000'000; // the module drops a frame after 200 ms of silence
constexpr quint8 kErrorMsgChecksum = 2;
constexpr quint8 kErrorInvalidCommand = 1;

quint8 checksum(const QByteArray& bytes) {
    quint8 sum = 0;
    for (char c : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    return sum;
}
} // namespace

VirtualModule::VirtualModule(QObject* parent) : QObject(parent), OutputTimer(this) {
    OutputTimer.setSingleShot(true);
    OutputTimer.setTimerType(Qt::PreciseTimer);
    connect(&OutputTimer, &QTimer::timeout, this, &VirtualModule::drainOutput);
}

VirtualModule::~VirtualModule() = default;

bool VirtualModule::start(QString* error) {
    if (!Pty.open(error))
        return false;
    Clock.start();
    Readable = std::make_unique<QSocketNotifier>(Pty.masterFd(), QSocketNotifier::Read);
    connect(Readable.get(), &QSocketNotifier::activated, this, &VirtualModule::onReadable);
    return true;
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
    const int baud = Pty.baudRate();
    for (ssize_t i = 0; i < n; ++i)
        takeByte(static_cast<quint8>(buffer[i]), baud);
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

void VirtualModule::takeByte(quint8 b, int baud) {
    const qint64 now = Clock.nsecsElapsed();
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
        checksum(frame.bytes.mid(1, frame.bytes.size() - 2)) == static_cast<quint8>(frame.bytes.back());

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
    if (faults.unanswered.contains(code) || code == kRestartIntoBootloader)
        return;
    if (!checksumOK) {
        identity.lastError = kErrorMsgChecksum;
        sendAck(false);
        return;
    }
    if (faults.refused.contains(code)) {
        sendAck(false);
        return;
    }
    handleBootloaderCommand(code, data);
}

void VirtualModule::handleBootloaderCommand(quint8 code, const QByteArray& data) {
    Q_UNUSED(data);
    switch (code) {
    case 16:
        sendDataReply(kIdentityReply, identity.replyData());
        break;
    case 17:
    case 19:
    case 23:
    case 26:
        sendAck(true);
        break;
    case kRestart:
        sendAck(true);
        InApplication = true;
        break;
    default:
        identity.lastError = kErrorInvalidCommand;
        sendAck(false);
        break;
    }
}

void VirtualModule::sendAck(bool accepted) {
    QByteArray reply;
    reply.append(static_cast<char>(kSync));
    reply.append(static_cast<char>(accepted ? kAccepted : kRefused));
    send(reply);
}

void VirtualModule::sendDataReply(quint8 code, const QByteArray& data) {
    QByteArray body;
    body.append(static_cast<char>(code));
    body.append(data);
    quint8 sum = checksum(body);
    if (faults.badChecksum)
        sum = static_cast<quint8>(sum + 1);
    QByteArray reply;
    reply.append(static_cast<char>(kSync));
    reply.append(body);
    reply.append(static_cast<char>(sum));
    send(reply);
}

void VirtualModule::send(const QByteArray& reply) {
    const QByteArray bytes = faults.garbage + reply;
    qint64 due = Clock.nsecsElapsed();
    if (faults.lineRate) {
        // The command's own bytes took the line's time to arrive; the reply
        // starts when the last of them is in.
        const qint64 commandTime =
            static_cast<qint64>(Heard.isEmpty() ? 0 : Heard.back().bytes.size()) * kByteTimeNs;
        due = std::max(due, LineFreeNs) + commandTime;
    }
    due += static_cast<qint64>(faults.replyDelayMs) * 1'000'000;
    if (faults.pauseMs > 0) {
        const auto half = bytes.size() / 2;
        queueBytes(bytes.left(half), due);
        queueBytes(bytes.mid(half), due + static_cast<qint64>(faults.pauseMs) * 1'000'000);
    } else {
        queueBytes(bytes, due);
    }
    emit replySent(reply);
}

void VirtualModule::queueBytes(const QByteArray& bytes, qint64 firstDueNs) {
    qint64 due = firstDueNs;
    for (char c : bytes) {
        Output.push_back({c, due});
        if (faults.lineRate)
            due += kByteTimeNs;
    }
    LineFreeNs = due;
    drainOutput();
}

void VirtualModule::drainOutput() {
    const qint64 now = Clock.nsecsElapsed();
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
    if (!Output.empty()) {
        const qint64 waitNs = Output.front().dueNs - now;
        OutputTimer.start(static_cast<int>((waitNs + 999'999) / 1'000'000));
    }
}

#include "ModuleEngine.h"

#include <algorithm>

namespace {
constexpr quint8 kSync = 0x5A;
constexpr quint8 kRestartIntoBootloader = 3;
constexpr quint8 kRestartIntoBootloaderData = 254;
constexpr quint8 kRestart = 27;
constexpr qint64 kInterByteGapNs = 200'000'000; // the module drops a frame after 200 ms of silence
constexpr quint8 kErrorMsgChecksum = 2;

bool contains(const QList<PlannedFault>& planned, PlannedFault::Kind kind) {
    return std::any_of(planned.cbegin(), planned.cend(),
                       [kind](const PlannedFault& fault) { return fault.kind == kind; });
}
} // namespace

ModuleEngine::ModuleEngine(QObject* parent) : QObject(parent), identity(Model.identity) {}

void ModuleEngine::forgetFrame() {
    Collecting.clear();
    Expected = -1;
}

int ModuleEngine::dataLengthFor(quint8 code) {
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

std::optional<ModuleEngine::Answer> ModuleEngine::hear(quint8 b, int baud, qint64 nowNs) {
    if (!Collecting.isEmpty() && nowNs - LastByteNs > kInterByteGapNs)
        forgetFrame();
    LastByteNs = nowNs;

    if (Collecting.isEmpty()) {
        if (b == kSync) {
            Collecting.append(static_cast<char>(b));
            CollectingBaud = baud;
        }
        return std::nullopt;
    }
    Collecting.append(static_cast<char>(b));
    if (Expected < 0) {
        const int dataLength = dataLengthFor(b);
        if (dataLength < 0) { // not a command this module knows
            Collecting.clear();
            return std::nullopt;
        }
        Expected = dataLength + 2;
    }
    if (Collecting.size() - 1 != Expected)
        return std::nullopt;
    const HeardFrame frame{Collecting, CollectingBaud};
    forgetFrame();
    return handleFrame(frame);
}

std::optional<ModuleEngine::Answer> ModuleEngine::handleFrame(const HeardFrame& frame) {
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
        return std::nullopt;
    }
    if (frame.baud != kBootloaderBaud)
        return std::nullopt; // at another speed the bootloader hears only noise
    if (faults.stopAfterFrames >= 0 && FramesHeard > faults.stopAfterFrames)
        return std::nullopt;
    const QList<PlannedFault> planned = faults.nextFrame(code);
    if (contains(planned, PlannedFault::Kind::HangUp))
        return Answer{{}, 0, 0, true};
    if (faults.unanswered.contains(code) || contains(planned, PlannedFault::Kind::NoReply) ||
        code == kRestartIntoBootloader)
        return std::nullopt;
    if (!checksumOK) {
        identity.lastError = kErrorMsgChecksum;
        return answer(ModuleReply::refused(), planned);
    }
    if (faults.refused.contains(code) || contains(planned, PlannedFault::Kind::Refuse))
        return answer(ModuleReply::refused(), planned);
    const quint64 revision = Model.memoryRevision();
    const Answer reply = answer(Model.answer(code, data), planned);
    if (code == kRestart)
        InApplication = true;
    if (Model.memoryRevision() != revision)
        emit memoryChanged();
    return reply;
}

ModuleEngine::Answer ModuleEngine::answer(const ModuleReply& reply, const QList<PlannedFault>& planned) {
    Answer sent{{}, faults.replyDelayMs, faults.pauseMs, false};
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
            sent.pauseMs += fault.ms;
            break;
        case PlannedFault::Kind::Delay:
            sent.delayMs += fault.ms;
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
    sent.bytes = garbage + frame + (doubled ? frame : QByteArray());
    emit replySent(frame);
    return sent;
}

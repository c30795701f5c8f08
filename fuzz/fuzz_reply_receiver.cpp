// Feeds the link a script of line bytes, silences and new commands through a
// transport of its own, and compares everything the link reports (the data
// replies it hands on, the completions of the commands it sends) with a plain
// model of the reply framing and of which reply completes which command.
//
// The script is a sequence of steps; each starts with an opcode byte whose
// top two bits say what happens and whose low six bits are n:
//   00nnnnnn  the next n+1 bytes arrive from the line, one at a time (fewer
//             at the end of the input)
//   01nnnnnn  the line stays silent for n x 50 ms
//   10nnnnnn  a command is sent, which drops a partly received frame; it
//             awaits an acknowledgement, an identity reply or a page as n
//             modulo 3 is 0, 1 or 2
//   11xxxxxx  the rest of the input arrives at once
// Silence is let pass only when the model says it drops a frame: the event
// loop then runs once, and the receiver's inter-byte time-out, cut to
// nothing, runs out in it. No event is processed otherwise, and the reply
// time-out is longer than any run, so every run is deterministic.

#include "Models.h"

#include "CommsLink.h"
#include "Reporter.h"

#include <QByteArray>
#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr int kSilenceStepMs = 50;

// The reply framing as the module side defines it, written out here rather
// than taken from the receiver's headers.
constexpr quint8 kSync = 0x5A;
constexpr quint8 kIdentityReply = 0x20;
constexpr quint8 kEncryptedPageReply = 0x21;
constexpr quint8 kAccepted = 0x5B;
constexpr quint8 kRefused = 0xAB;
// Frame lengths after the sync byte: code, data bytes, checksum.
constexpr int kIdentityReplyLength = 30;
constexpr int kEncryptedPageReplyLength = 266;
// Silence inside a frame this long or longer drops the frame.
constexpr int kInterByteTimeoutMs = 200;

// The length of a data reply after the sync byte, or 0 for any other code.
int frameLengthOf(int code) {
    switch (code) {
    case kIdentityReply:
        return kIdentityReplyLength;
    case kEncryptedPageReply:
        return kEncryptedPageReplyLength;
    default:
        return 0;
    }
}

// What the framing found, or what the link reported, in order.
struct Event {
    enum Kind { Accepted, Refused, Data, ChecksumFailed, Succeeded, Failed } kind;
    std::vector<quint8> frame; // Data only: code, data bytes, checksum
    bool operator==(const Event&) const = default;
};

// The reply framing: sync byte 0x5A, a code, and for the data replies 0x20
// and 0x21 a fixed number of data bytes and their checksum; an
// acknowledgement (0x5B, 0xAB) is the code alone.
class FramingModel {
public:
    void byte(quint8 b) {
        if (!InFrame) {
            if (b == kSync) {
                InFrame = true;
                Collected.clear();
                Length = 0;
            }
            return;
        }
        if (Collected.empty()) {
            if (b == kAccepted || b == kRefused) {
                events.push_back({b == kAccepted ? Event::Accepted : Event::Refused, {}});
                InFrame = false;
                return;
            }
            Length = frameLengthOf(b);
            if (Length == 0) {
                InFrame = false;
                return;
            }
        }
        Collected.push_back(b);
        if (static_cast<int>(Collected.size()) < Length)
            return;
        InFrame = false;
        if (Model::byteSum(Collected.data(), Collected.size() - 1) == Collected.back())
            events.push_back({Event::Data, Collected});
        else
            events.push_back({Event::ChecksumFailed, {}});
    }
    void silence(int milliseconds) {
        if (milliseconds >= kInterByteTimeoutMs)
            InFrame = false;
    }
    void resetSync() { InFrame = false; }
    bool inFrame() const { return InFrame; }

    std::vector<Event> events;

private:
    bool InFrame = false;
    std::vector<quint8> Collected;
    int Length = 0;
};

// Which reply completes which command: an acceptance the command that awaits
// an acknowledgement, a data reply the one that awaits its kind, a refusal
// any, a damaged data reply any that awaits data. Only the first completion
// of a command counts; data replies are handed on whether they complete one
// or not.
class LinkModel {
public:
    enum Awaited { Acknowledgement, Identity, Page };

    void send(Awaited awaited) {
        Framing.resetSync();
        InProgress = true;
        Waiting = awaited;
    }
    void byte(quint8 b) {
        Framing.byte(b);
        for (; Seen < Framing.events.size(); ++Seen) {
            const Event& found = Framing.events[Seen];
            switch (found.kind) {
            case Event::Accepted:
                complete(Waiting == Acknowledgement, Event::Succeeded);
                break;
            case Event::Refused:
                complete(true, Event::Failed);
                break;
            case Event::ChecksumFailed:
                complete(Waiting != Acknowledgement, Event::Failed);
                break;
            default:
                complete(Waiting == (found.frame[0] == kIdentityReply ? Identity : Page), Event::Succeeded);
                events.push_back(found);
                break;
            }
        }
    }
    void silence(int milliseconds) { Framing.silence(milliseconds); }
    bool inFrame() const { return Framing.inFrame(); }

    std::vector<Event> events;

private:
    void complete(bool completes, Event::Kind how) {
        if (!InProgress || !completes)
            return;
        InProgress = false;
        events.push_back({how, {}});
    }

    FramingModel Framing;
    size_t Seen = 0;
    bool InProgress = false;
    Awaited Waiting = Acknowledgement;
};

// A line that takes every frame and delivers what the script says.
class ScriptedLine : public Transport {
public:
    bool open(const QString&) override { return Open = true; }
    void close() override { Open = false; }
    bool isOpen() const override { return Open; }
    QString errorString() const override { return {}; }
    bool setLine(const LineSettings::Line&) override { return true; }
    QString write(const QByteArray&) override { return {}; }
    void discardInput() override {}
    void arrive(const QByteArray& bytes) { emit bytesArrived(bytes); }

private:
    bool Open = false;
};

// Records the link's completions and data replies, and checks each data
// frame as it is handed on, while the receiver's buffer is what the consumer
// would read.
class Recorder {
public:
    Recorder(CommsLink& link, CommandExchange& exchange) {
        QObject::connect(&exchange, &CommandExchange::completed, [this, &exchange] {
            const Outcome outcome = exchange.lastOutcome();
            FUZZ_CHECK(outcome == Outcome::Succeeded || outcome == Outcome::Refused);
            events.push_back({outcome == Outcome::Succeeded ? Event::Succeeded : Event::Failed, {}});
        });
        const auto handedOn = [this](const RxMsg& frame) {
            const int length = frameLengthOf(frame[0]);
            FUZZ_CHECK(length > 0); // only codes 0x20 and 0x21 carry data
            std::vector<quint8> bytes;
            for (int i = 0; i < length; ++i) {
                const qint16 value = frame[static_cast<size_t>(i)];
                FUZZ_CHECK(value >= 0 && value <= 255);
                bytes.push_back(static_cast<quint8>(value));
            }
            // a good checksum only
            FUZZ_CHECK(Model::byteSum(bytes.data(), bytes.size() - 1) == bytes.back());
            events.push_back({Event::Data, std::move(bytes)});
        };
        QObject::connect(&link, &CommsLink::identityReplyReceived, handedOn);
        QObject::connect(&link, &CommsLink::encryptedPageReceived, handedOn);
    }
    std::vector<Event> events;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Timers need the thread's event dispatcher, which the application object
    // brings; it lives for the whole run.
    static int argc = 1;
    static char name[] = "fuzz_reply_receiver";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietSink sink;
    Reporter reporter(sink);
    CommandExchange exchange;
    ScriptedLine line;
    CommsLink link(exchange, reporter, line, {.replyTimeoutMs = 24 * 3600 * 1000, .interByteTimeoutMs = 0});
    link.openDevice(QStringLiteral("script"));
    Recorder recorder(link, exchange);
    LinkModel model;

    size_t at = 0;
    while (at < size) {
        const uint8_t opcode = data[at++];
        const int n = opcode & 0x3F;
        switch (opcode >> 6) {
        case 0: {
            const size_t end = std::min(size, at + static_cast<size_t>(n) + 1);
            for (; at < end; ++at) {
                line.arrive(QByteArray(1, static_cast<char>(data[at])));
                model.byte(data[at]);
            }
            break;
        }
        case 1:
            if (n * kSilenceStepMs >= kInterByteTimeoutMs && model.inFrame())
                QCoreApplication::processEvents(); // the receiver's time-out runs out
            model.silence(n * kSilenceStepMs);
            break;
        case 2: {
            constexpr ReplyKind kKinds[] = {ReplyKind::Acknowledgement, ReplyKind::Identity,
                                            ReplyKind::EncryptedPage};
            OutMsg message{};
            message[0] = 16;
            link.post(message, 2, kKinds[n % 3]);
            model.send(static_cast<LinkModel::Awaited>(n % 3));
            break;
        }
        case 3:
            line.arrive(
                QByteArray(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(size - at)));
            for (; at < size; ++at)
                model.byte(data[at]);
            break;
        }
        FUZZ_CHECK(recorder.events == model.events);
    }
    return 0;
}

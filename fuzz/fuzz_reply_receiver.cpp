// Feeds the reply receiver a script of line bytes, silences and resyncs, and
// compares everything it reports with a plain model of the reply framing.
//
// The script is a sequence of steps; each starts with an opcode byte whose
// top two bits say what happens and whose low six bits are n:
//   00nnnnnn  the next n+1 bytes arrive from the line, one ProcessInputByte
//             each (fewer at the end of the input)
//   01nnnnnn  the line stays silent for n x 50 ms
//   10xxxxxx  ResetSync: the command that waited for a reply gave up
//   11xxxxxx  the rest of the input arrives at once, through ProcessInputBytes
// Silence is not waited for: when it lasts the receiver's time-out or longer
// and its timer is running, the timer's timeout signal is emitted directly,
// as the event loop would have done. No event is ever processed, so the real
// timer never fires on its own and every run is deterministic.

#include "Models.h"

#include "ReplyReceiver.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
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

// What the receiver reported, in order.
struct Event {
    enum Kind { Accepted, Refused, Data, ChecksumFailed } kind;
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

// Records the receiver's signals and checks each data frame as it is handed
// out, while the receiver's buffer is what the consumer would read.
class Recorder {
public:
    explicit Recorder(ReplyReceiver& receiver) {
        QObject::connect(&receiver, &ReplyReceiver::commandAcknowledged, [this](bool ok) {
            events.push_back({ok ? Event::Accepted : Event::Refused, {}});
        });
        QObject::connect(&receiver, &ReplyReceiver::checksumFailed, [this] {
            events.push_back({Event::ChecksumFailed, {}});
        });
        QObject::connect(&receiver, &ReplyReceiver::dataReplyReceived, [this](const RxMsg& frame) {
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
        });
    }
    std::vector<Event> events;
};

void letSilencePass(ReplyReceiver& receiver, int milliseconds) {
    if (milliseconds < receiver.interByteTimeoutMs() || !receiver.interByteTimerActive())
        return;
    receiver.RxTimeout_Timer(); // what the timer's expiry runs
}

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
    ReplyReceiver receiver;
    Recorder recorder(receiver);
    FramingModel model;

    size_t at = 0;
    while (at < size) {
        const uint8_t opcode = data[at++];
        const int n = opcode & 0x3F;
        switch (opcode >> 6) {
        case 0: {
            const size_t end = std::min(size, at + static_cast<size_t>(n) + 1);
            for (; at < end; ++at) {
                receiver.ProcessInputByte(data[at]);
                model.byte(data[at]);
            }
            break;
        }
        case 1:
            letSilencePass(receiver, n * kSilenceStepMs);
            model.silence(n * kSilenceStepMs);
            break;
        case 2:
            receiver.ResetSync();
            model.resetSync();
            break;
        case 3:
            receiver.ProcessInputBytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data + at),
                                                               static_cast<qsizetype>(size - at)));
            for (; at < size; ++at)
                model.byte(data[at]);
            break;
        }
        FUZZ_CHECK(receiver.inSync() == model.inFrame());
        FUZZ_CHECK(recorder.events == model.events);
    }
    return 0;
}

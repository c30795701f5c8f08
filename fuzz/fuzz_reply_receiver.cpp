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

#include "FuzzCheck.h"

#include "ReplyReceiver.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaObject>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

constexpr int kSilenceStepMs = 50;

// What the receiver reported, in order.
struct Event {
    enum Kind { Accepted, Refused, Data, ChecksumFailed } kind;
    std::vector<quint8> frame; // Data only: code, data bytes, checksum
    bool operator==(const Event&) const = default;
};

// The reply framing as the module side defines it: sync byte 0x5A, a code,
// and for the data replies 32 and 33 a fixed number of data bytes and their
// checksum; an acknowledgement (91, 171) is the code alone.
class FramingModel {
public:
    void Byte(quint8 b) {
        if (!inFrame_) {
            if (b == Frame::kSync) {
                inFrame_ = true;
                frame_.clear();
                length_ = 0;
            }
            return;
        }
        if (frame_.empty()) {
            switch (b) {
            case Frame::kIdentityReply:
                length_ = Frame::kIdentityReplyLength;
                break;
            case Frame::kEncryptedPageReply:
                length_ = Frame::kEncryptedPageReplyLength;
                break;
            case Frame::kAccepted:
            case Frame::kRefused:
                events.push_back({b == Frame::kAccepted ? Event::Accepted : Event::Refused, {}});
                inFrame_ = false;
                return;
            default:
                inFrame_ = false;
                return;
            }
        }
        frame_.push_back(b);
        if (static_cast<int>(frame_.size()) < length_)
            return;
        inFrame_ = false;
        quint8 sum = 0;
        for (size_t i = 0; i + 1 < frame_.size(); ++i)
            sum = static_cast<quint8>(sum + frame_[i]);
        if (sum == frame_.back()) {
            commsGood = true;
            events.push_back({Event::Data, frame_});
        } else {
            events.push_back({Event::ChecksumFailed, {}});
        }
    }
    void Silence() { inFrame_ = false; }
    void ResetSync() { inFrame_ = false; }
    bool InFrame() const { return inFrame_; }

    std::vector<Event> events;
    bool commsGood = false;

private:
    bool inFrame_ = false;
    std::vector<quint8> frame_;
    int length_ = 0;
};

int FrameLengthOf(qint16 code) {
    if (code == Frame::kIdentityReply)
        return Frame::kIdentityReplyLength;
    if (code == Frame::kEncryptedPageReply)
        return Frame::kEncryptedPageReplyLength;
    return 0;
}

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
            const int length = FrameLengthOf(frame[0]);
            FUZZ_CHECK(length > 0); // only codes 32 and 33 carry data
            std::vector<quint8> bytes;
            quint8 sum = 0;
            for (int i = 0; i < length; ++i) {
                const qint16 value = frame[static_cast<size_t>(i)];
                FUZZ_CHECK(value >= 0 && value <= 255);
                bytes.push_back(static_cast<quint8>(value));
                if (i < length - 1)
                    sum = static_cast<quint8>(sum + value);
            }
            FUZZ_CHECK(sum == bytes.back()); // a good checksum only
            events.push_back({Event::Data, std::move(bytes)});
        });
    }
    std::vector<Event> events;
};

void LetSilencePass(ReplyReceiver& receiver, int milliseconds) {
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
                model.Byte(data[at]);
            }
            break;
        }
        case 1:
            LetSilencePass(receiver, n * kSilenceStepMs);
            if (n * kSilenceStepMs >= ReplyReceiver::kInterByteTimeoutMs)
                model.Silence();
            break;
        case 2:
            receiver.ResetSync();
            model.ResetSync();
            break;
        case 3:
            receiver.ProcessInputBytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data + at),
                                                               static_cast<qsizetype>(size - at)));
            for (; at < size; ++at)
                model.Byte(data[at]);
            break;
        }
        FUZZ_CHECK(receiver.inSync() == model.InFrame());
        FUZZ_CHECK(receiver.GetCommsGood() == model.commsGood);
        FUZZ_CHECK(recorder.events == model.events);
    }
    return 0;
}

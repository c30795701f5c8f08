#pragma once

#include "Frames.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Collects the module's reply frames from the received bytes, one byte at a
// time. It knows nothing of the port: the link feeds it what the port reads,
// and tests feed it bytes directly.
//
// Replies are routed by their code alone: an acknowledgement is reported as
// soon as its code byte arrives; a data reply (identity 32, encrypted page 33)
// once all its bytes are in and its checksum has been checked.
class ReplyReceiver : public QObject {
    Q_OBJECT
public:
    static constexpr int kInterByteTimeoutMs = 200;

    explicit ReplyReceiver(int interByteTimeoutMs = kInterByteTimeoutMs, QObject* parent = nullptr);

    void ProcessInputByte(quint8 b);
    void ProcessInputBytes(const QByteArray& bytes);
    // Abandons a partly received frame; the next frame needs a new sync byte.
    void ResetSync();
    bool GetChecksumOK() const;
    bool inSync() const { return InSync; }

    // The inter-byte time-out ran out: a partly received frame is dropped.
    // Runs when the timer expires; a fuzzer lets silence pass by calling it.
    void RxTimeout_Timer();
    bool interByteTimerActive() const { return RxTimeout.isActive(); }
    int interByteTimeoutMs() const { return TimeoutMs; }

signals:
    // Acknowledgement 91 (true) or 171 (false).
    void commandAcknowledged(bool commandOK);
    // A complete data reply with a good checksum; frame[0] is its code.
    void dataReplyReceived(const RxMsg& frame);
    // A complete data reply whose checksum is wrong; its contents are dropped.
    void checksumFailed();
    // The inter-byte time-out ran out.
    void silence();

private:
    // One byte into the state machine, the inter-byte time-out aside.
    void takeByte(quint8 b);
    void restartInterByteTimeout();
    void ProcessInputMessage();

    QTimer RxTimeout;       // the inter-byte time-out
    QElapsedTimer LastByte; // since the last byte came
    int TimeoutMs;
    RxMsg Buffer{}; // the frame being collected, code first
    bool InSync = false;
    int RxIndex = 0;
    int RxLength = 0;
    bool RxBusy = false;
};

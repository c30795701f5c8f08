#pragma once

#include "Frames.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Collects the module's reply frames from the received bytes, one byte at a
// time. It knows nothing of the port: the link feeds it what the transport
// hands over.
//
// Replies are routed by their code alone: an acknowledgement is reported as
// soon as its code byte arrives; a data reply (identity 32, encrypted page 33)
// once all its bytes are in and its checksum has been checked.
class ReplyReceiver : public QObject {
    Q_OBJECT
public:
    static constexpr int kInterByteTimeoutMs = 200;

    explicit ReplyReceiver(int interByteTimeoutMs = kInterByteTimeoutMs, QObject* parent = nullptr);

    void ProcessInputBytes(const QByteArray& bytes);
    // Abandons a partly received frame; the next frame needs a new sync byte.
    void ResetSync();

signals:
    // Acknowledgement 91 (true) or 171 (false).
    void commandAcknowledged(bool commandOK);
    // A complete data reply with a good checksum; frame[0] is its code.
    void dataReplyReceived(const RxMsg& frame);
    // A complete data reply whose checksum is wrong; its contents are dropped.
    void checksumFailed();

private:
    // One byte into the state machine, the inter-byte time-out aside.
    void takeByte(quint8 b);
    void restartInterByteTimeout();
    // The inter-byte time-out ran out: a partly received frame is dropped.
    void RxTimeout_Timer();
    bool GetChecksumOK() const;
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

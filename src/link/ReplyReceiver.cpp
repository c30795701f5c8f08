#include "ReplyReceiver.h"

ReplyReceiver::ReplyReceiver(int interByteTimeoutMs, QObject* parent)
    : QObject(parent), RxTimeout(this), TimeoutMs(interByteTimeoutMs) {
    RxTimeout.setObjectName(QStringLiteral("RxTimeout"));
    RxTimeout.setTimerType(Qt::PreciseTimer);
    RxTimeout.setSingleShot(true);
    // The timer is not restarted for every byte (a page reply is 267 of them,
    // each its own wake-up on a slow line): each byte notes when it came, and
    // an expiry that finds a byte younger than the time-out waits for the rest.
    connect(&RxTimeout, &QTimer::timeout, this, [this] {
        const qint64 quiet = LastByte.elapsed();
        if (quiet < TimeoutMs)
            RxTimeout.start(static_cast<int>(TimeoutMs - quiet));
        else
            RxTimeout_Timer();
    });
    restartInterByteTimeout();
}

void ReplyReceiver::restartInterByteTimeout() {
    LastByte.start();
    if (!RxTimeout.isActive())
        RxTimeout.start(TimeoutMs);
}

void ReplyReceiver::RxTimeout_Timer() {
    // Silence inside a frame: drop what was collected.
    InSync = false;
    RxTimeout.stop();
}

void ReplyReceiver::ProcessInputBytes(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    // Bytes read together arrived together: the silence before them is what
    // the inter-byte time-out measures, so it is restarted once for them all.
    restartInterByteTimeout();
    for (char c : bytes)
        takeByte(static_cast<quint8>(c));
}

void ReplyReceiver::ResetSync() {
    InSync = false;
}

void ReplyReceiver::takeByte(quint8 b) {
    if (!InSync) {
        if (b == Frame::kSync) {
            InSync = true;
            RxIndex = 0;
            RxLength = 0;
        }
        return;
    }

    if (RxLength == 0) {
        switch (b) {
        case Frame::kIdentityReply:
            RxLength = Frame::kIdentityReplyLength;
            break;
        case Frame::kEncryptedPageReply:
            RxLength = Frame::kEncryptedPageReplyLength;
            break;
        case Frame::kAccepted:
        case Frame::kRefused:
            // Acknowledgements carry neither data nor checksum.
            RxLength = 0;
            InSync = false;
            emit commandAcknowledged(b == Frame::kAccepted);
            return;
        default:
            InSync = false; // unknown code: the frame is dropped
            return;
        }
    }

    Buffer[static_cast<size_t>(RxIndex)] = b;
    if (RxIndex == RxLength - 1) {
        if (!RxBusy) {
            RxBusy = true;
            ProcessInputMessage();
            RxBusy = false;
        }
        InSync = false;
    } else {
        ++RxIndex;
    }
}

bool ReplyReceiver::GetChecksumOK() const {
    if (RxLength < 2)
        return false;
    quint8 sum = 0;
    for (int i = 0; i <= RxLength - 2; ++i)
        sum = static_cast<quint8>(sum + Buffer[static_cast<size_t>(i)]);
    return sum == Buffer[static_cast<size_t>(RxLength - 1)];
}

void ReplyReceiver::ProcessInputMessage() {
    if (!GetChecksumOK()) {
        emit checksumFailed();
        return;
    }
    emit dataReplyReceived(Buffer);
}

#include "Frames.h"

namespace Frame {

QByteArray encode(const OutMsg& message, int bytesToSend) {
    if (bytesToSend < 2 || bytesToSend > kMaxBytesToSend)
        return {};
    QByteArray frame(bytesToSend + 1, Qt::Uninitialized);
    char* out = frame.data();
    *out++ = static_cast<char>(kSync);
    quint8 checksum = 0;
    for (int i = 0; i <= bytesToSend - 2; ++i) {
        const auto b = static_cast<quint8>(message[static_cast<size_t>(i)] & 0xFF);
        *out++ = static_cast<char>(b);
        checksum = static_cast<quint8>(checksum + b);
    }
    *out = static_cast<char>(checksum);
    return frame;
}

} // namespace Frame

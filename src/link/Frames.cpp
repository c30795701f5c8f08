#include "Frames.h"

namespace Frame {

QByteArray encode(const OutMsg& message, int bytesToSend) {
    if (bytesToSend < 2 || bytesToSend > kMaxBytesToSend)
        return {};
    QByteArray frame;
    frame.reserve(bytesToSend + 1);
    frame.append(static_cast<char>(kSync));
    quint8 checksum = 0;
    for (int i = 0; i <= bytesToSend - 2; ++i) {
        const auto b = static_cast<quint8>(message[static_cast<size_t>(i)] & 0xFF);
        frame.append(static_cast<char>(b));
        checksum = static_cast<quint8>(checksum + b);
    }
    frame.append(static_cast<char>(checksum));
    return frame;
}

} // namespace Frame

#include "ModuleReply.h"

namespace {
constexpr quint8 kSync = 0x5A;
constexpr quint8 kAccepted = 91;
constexpr quint8 kRefused = 171;
} // namespace

quint8 byteSum(const QByteArray& bytes) {
    quint8 sum = 0;
    for (char c : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    return sum;
}

QByteArray ModuleReply::frame() const {
    QByteArray bytes;
    bytes.append(static_cast<char>(kSync));
    switch (kind) {
    case Kind::Accepted:
        bytes.append(static_cast<char>(kAccepted));
        break;
    case Kind::Refused:
        bytes.append(static_cast<char>(kRefused));
        break;
    case Kind::Data:
        bytes.append(static_cast<char>(code));
        bytes.append(data);
        bytes.append(static_cast<char>(static_cast<quint8>(code + byteSum(data))));
        break;
    }
    return bytes;
}

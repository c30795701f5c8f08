#include "PageRecord.h"

namespace {
// Spreads neighbouring numbers (systems, page indexes) far apart.
quint32 mixed(quint32 x) {
    x ^= x >> 16;
    x *= 0x85EBCA6BU;
    x ^= x >> 13;
    x *= 0xC2B2AE35U;
    x ^= x >> 16;
    return x;
}

// An xorshift generator; one stream per page, one more for the headers.
class Keystream {
public:
    Keystream(quint32 key, int stream) {
        State = mixed(key + static_cast<quint32>(stream) * 0x9E3779B9U);
        if (State == 0) // xorshift stays at zero for ever
            State = 0x6D2B79F5U;
    }
    void applyTo(char* bytes, int count) {
        for (int i = 0; i < count; ++i) {
            State ^= State << 13;
            State ^= State >> 17;
            State ^= State << 5;
            bytes[i] = static_cast<char>(static_cast<quint8>(bytes[i]) ^ (State >> 24));
        }
    }

private:
    quint32 State;
};

constexpr int kHeaderStream = PageRecord::kPageSize; // after the streams of pages 0..255
constexpr int kCheckAt = 7;

quint8 checkByte(const QByteArray& plain) {
    quint8 sum = 0;
    for (int i = 0; i < plain.size(); ++i) {
        if (i != kCheckAt)
            sum = static_cast<quint8>(sum + static_cast<quint8>(plain[i]));
    }
    return static_cast<quint8>(~sum);
}
} // namespace

quint32 PageRecord::familyKey(quint8 system) {
    return mixed(0x4D4C5800U | system);
}

QByteArray PageRecord::seal(const PageRecordHeader& header, const QByteArray& page, quint32 key) {
    QByteArray record(kSize, '\0');
    const quint8 head[kHeaderSize] = {header.system,
                                      header.subsystem,
                                      static_cast<quint8>(header.serial & 0xFF),
                                      static_cast<quint8>(header.serial >> 8),
                                      header.mask,
                                      header.extra,
                                      header.page,
                                      0};
    for (int i = 0; i < kHeaderSize; ++i)
        record[i] = static_cast<char>(head[i]);
    record.replace(kHeaderSize, kPageSize, page.left(kPageSize));
    record[kCheckAt] = static_cast<char>(checkByte(record));
    Keystream(key, kHeaderStream).applyTo(record.data(), kHeaderSize);
    Keystream(key, header.page).applyTo(record.data() + kHeaderSize, kPageSize);
    return record;
}

std::optional<PlainPageRecord> PageRecord::open(const QByteArray& record, quint32 key) {
    if (record.size() != kSize)
        return std::nullopt;
    QByteArray plain = record;
    Keystream(key, kHeaderStream).applyTo(plain.data(), kHeaderSize);
    const auto byte = [&plain](int i) { return static_cast<quint8>(plain[i]); };
    Keystream(key, byte(6)).applyTo(plain.data() + kHeaderSize, kPageSize);
    if (checkByte(plain) != byte(kCheckAt))
        return std::nullopt;
    PlainPageRecord opened;
    opened.header = {byte(0), byte(1), static_cast<quint16>(byte(3) << 8 | byte(2)),
                     byte(4), byte(5), byte(6)};
    opened.page = plain.mid(kHeaderSize);
    return opened;
}

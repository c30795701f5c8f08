// Reads the input as a .ser serial-number database and takes each of its
// 100-byte records apart on its own; both must agree with a plain reading of
// the record layout, and the loader with the records it is made of.

#include "Models.h"

#include "SerialLoad.h"
#include "SerialRecord.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// The .ser record layout, written out here rather than taken from the
// reader's headers. Offsets count from 0 (byte 98 of a record is offset 97).
constexpr size_t kRecordSize = 100;
constexpr size_t kIdBlockAt = 6;    // eight hex pairs, each followed by ","
constexpr size_t kInfoHexAt = 37;   // nine hex pairs, each followed by ","
constexpr size_t kBLVersionAt = 64; // two hex pairs, three bytes apart
constexpr size_t kMemoAt = 70;
constexpr size_t kMemoLength = 12;
constexpr size_t kTerminatorAt = 97;

bool fieldsGood(const uint8_t* record) {
    bool good = true;
    for (size_t i = 0; i < 8; ++i)
        good &= Model::hexPair(record + kIdBlockAt + 3 * i) >= 0 && record[kIdBlockAt + 3 * i + 2] == ',';
    for (size_t i = 0; i < 9; ++i)
        good &= Model::hexPair(record + kInfoHexAt + 3 * i) >= 0 && record[kInfoHexAt + 3 * i + 2] == ',';
    good &= Model::hexPair(record + kBLVersionAt) >= 0 && Model::hexPair(record + kBLVersionAt + 3) >= 0;
    return good;
}

bool isSerialField(qint32 serial) {
    // At most five digits, possibly negated; the no-number value lies within.
    return serial >= -99999 && serial <= 99999;
}

ParsedSerialRecord parseSlice(const uint8_t* data, size_t size) {
    return parseSerialRecord(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
}

void checkRecord(const uint8_t* record, const ParsedSerialRecord& parsed) {
    FUZZ_CHECK(parsed.terminated == (record[kTerminatorAt] == ';'));
    if (!parsed.terminated) {
        FUZZ_CHECK(parsed.bad);
        return;
    }
    FUZZ_CHECK(parsed.bad == !fieldsGood(record));
    FUZZ_CHECK(isSerialField(parsed.serial));
    for (size_t i = 0; i < 8; ++i) {
        const int expected = Model::hexPair(record + kIdBlockAt + 3 * i);
        FUZZ_CHECK(parsed.idBlock[i] == (expected < 0 ? Model::kBadHex : expected));
    }
    FUZZ_CHECK(parsed.memo ==
               QString::fromLatin1(reinterpret_cast<const char*>(record) + kMemoAt, qsizetype(kMemoLength)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t records = size / kRecordSize;
    int badRecords = 0;
    std::optional<ParsedSerialRecord> last;
    qint32 highest = 0; // of every record's serial number, whatever the rest of it holds
    for (size_t k = 0; k < records; ++k) {
        const uint8_t* record = data + k * kRecordSize;
        ParsedSerialRecord parsed = parseSlice(record, kRecordSize);
        const qint32 serial = serialField(QByteArrayView(reinterpret_cast<const char*>(record), 5));
        if (parsed.terminated)
            FUZZ_CHECK(serial == parsed.serial);
        if (serial >= 1 && serial <= 65535)
            highest = std::max(highest, serial);
        checkRecord(record, parsed);
        badRecords += parsed.bad ? 1 : 0;
        if (parsed.terminated)
            last = std::move(parsed);
    }
    // A slice of any other length is no record.
    const ParsedSerialRecord tail = parseSlice(data + records * kRecordSize, size % kRecordSize);
    FUZZ_CHECK(!tail.terminated && tail.bad);

    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const SerialLoad load = readSerialRecords(buffer);
    FUZZ_CHECK(!load.failed);
    FUZZ_CHECK(load.badRecords == badRecords);
    FUZZ_CHECK(!load.statusText().isEmpty());
    FUZZ_CHECK(load.serials.highest().value_or(0) == highest);
    if (!last) {
        FUZZ_CHECK(load.nextSerial == (highest == 65535 ? std::nullopt : std::optional<qint32>(highest + 1)));
        for (const std::optional<qint16>& byte : load.idBlock)
            FUZZ_CHECK(byte == 0);
        FUZZ_CHECK(!load.memo);
        return 0;
    }
    // The next serial follows the highest and must itself be a serial:
    // 1..65535. A last record whose serial is unknown gives none.
    const bool lastUnknown = last->serial < 0 || last->serial > 65535;
    if (load.nextSerial)
        FUZZ_CHECK(!lastUnknown && *load.nextSerial == highest + 1 && *load.nextSerial <= 65535);
    else
        FUZZ_CHECK(lastUnknown || highest == 65535);
    for (size_t i = 0; i < load.idBlock.size(); ++i) {
        if (load.idBlock[i])
            FUZZ_CHECK(*load.idBlock[i] == last->idBlock[i] && *load.idBlock[i] >= 0 &&
                       *load.idBlock[i] <= 255);
        else
            FUZZ_CHECK(last->idBlock[i] == Model::kBadHex);
    }
    FUZZ_CHECK(load.memo == last->memo);
    return 0;
}

// Reads the input as a .fw file and compares the result, field by field, with
// what a plain walk over the bytes expects: header fields, pages, outcome,
// status text, and how far the reader read.

#include "Models.h"

#include "FirmwareFile.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// The .fw layout, written out here rather than taken from the reader's
// headers: an 11-byte header line (eight header bytes, ";", CR, LF), then one
// 268-byte record a page: the 264-byte payload, the sum of its bytes modulo
// 256, ";", CR, LF. At most 257 pages fit the image.
constexpr size_t kHeaderSize = 11;
constexpr size_t kHeaderTerminatorAt = 8;
constexpr size_t kPayloadSize = 264;
constexpr size_t kChecksumAt = 264;
constexpr size_t kTerminatorAt = 265;
constexpr size_t kRecordSize = 268;
constexpr size_t kMaxPages = 257;

// The reader never needs more than the header and one record past the last
// page it can hold.
constexpr qint64 kMostBytesRead = qint64(kHeaderSize + (kMaxPages + 1) * kRecordSize);

struct Expected {
    FirmwareReadOutcome outcome = FirmwareReadOutcome::Loaded;
    bool recordsRead = false;
    QString statusText;
    std::vector<std::vector<quint8>> pages;
};

Expected walk(const uint8_t* data, size_t size) {
    Expected expected;
    if (size <= kHeaderTerminatorAt || data[kHeaderTerminatorAt] != ';') {
        expected.outcome = FirmwareReadOutcome::BadRecord;
        expected.statusText = QStringLiteral("Invalid data format on input line 1");
        return expected;
    }
    expected.recordsRead = true;
    for (int line = 1;; ++line) {
        const size_t offset = kHeaderSize + size_t(line - 1) * kRecordSize;
        if (offset + kRecordSize > size)
            return expected;
        const uint8_t* record = data + offset;
        if (record[kTerminatorAt] != ';') {
            expected.outcome = FirmwareReadOutcome::BadRecord;
            expected.statusText = QStringLiteral("Invalid data format on input line %1").arg(line);
            return expected;
        }
        if (expected.pages.size() == kMaxPages) {
            expected.outcome = FirmwareReadOutcome::ReadFailure;
            return expected;
        }
        // A page whose checksum fails is still counted, and kept.
        expected.pages.emplace_back(record, record + kPayloadSize);
        if (record[kChecksumAt] != Model::byteSum(record, kPayloadSize)) {
            expected.outcome = FirmwareReadOutcome::BadRecord;
            expected.statusText = QStringLiteral("Checksum error on input line %1").arg(line);
            return expected;
        }
    }
}

// The pages the reader kept, each exactly the payload the model expects.
bool samePages(const std::vector<FirmwarePage>& pages, const std::vector<std::vector<quint8>>& expected) {
    if (pages.size() != expected.size())
        return false;
    for (size_t k = 0; k < pages.size(); ++k) {
        if (!std::equal(pages[k].begin(), pages[k].end(), expected[k].begin(), expected[k].end()))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const FirmwareReadResult result = readFirmwareImage(buffer);
    const Expected expected = walk(data, size);

    FUZZ_CHECK(buffer.pos() <= kMostBytesRead);
    FUZZ_CHECK(result.image.FWPageCount() <= int(kMaxPages));
    FUZZ_CHECK(result.outcome == expected.outcome);
    FUZZ_CHECK(result.recordsRead == expected.recordsRead);
    FUZZ_CHECK(result.statusText == expected.statusText);
    FUZZ_CHECK(samePages(result.image.pages, expected.pages));
    FUZZ_CHECK(result.image.FWFileLoaded == (result.outcome == FirmwareReadOutcome::Loaded));
    FUZZ_CHECK(result.replacesCurrentImage() == (result.outcome != FirmwareReadOutcome::ReadFailure));
    FUZZ_CHECK(result.description.isEmpty() == (result.outcome != FirmwareReadOutcome::ReadFailure));
    FUZZ_CHECK(result.messageBoxText().isEmpty() == (result.outcome != FirmwareReadOutcome::ReadFailure));

    // The header is taken over whatever follows it; missing bytes read as 0.
    uint8_t header[kHeaderSize] = {};
    std::copy_n(data, std::min(size, kHeaderSize), header);
    const FirmwareImage& image = result.image;
    FUZZ_CHECK(image.FWSystemID == header[0]);
    FUZZ_CHECK(image.FWSubSystemID == header[1]);
    FUZZ_CHECK(image.FWSerialNo == header[3] * 256 + header[2]);
    FUZZ_CHECK(image.FWVersionMinor == header[4]);
    FUZZ_CHECK(image.FWVersionMajor == header[5]);
    FUZZ_CHECK(image.FWTargetMask == header[6]);
    return 0;
}

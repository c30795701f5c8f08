// Reads the input as a .fw file and compares the result, field by field, with
// what a plain walk over the bytes expects: header fields, pages, outcome,
// status text, and how far the reader read.

#include "FuzzCheck.h"

#include "FirmwareFile.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

using namespace FirmwareFormat;

// The reader never needs more than the header and one record past the last
// page it can hold.
constexpr qint64 kMostBytesRead = kHeaderSize + qint64(kMaxPages + 1) * kRecordSize;

struct Expected {
    FirmwareReadOutcome outcome = FirmwareReadOutcome::Loaded;
    bool recordsRead = false;
    QString statusText;
    std::vector<FirmwarePage> pages;
};

Expected Walk(const uint8_t* data, size_t size) {
    Expected expected;
    if (size <= 8 || data[8] != ';') {
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
        if (record[kPayloadSize + 1] != ';') {
            expected.outcome = FirmwareReadOutcome::BadRecord;
            expected.statusText = QStringLiteral("Invalid data format on input line %1").arg(line);
            return expected;
        }
        if (expected.pages.size() == kMaxPages) {
            expected.outcome = FirmwareReadOutcome::ReadFailure;
            return expected;
        }
        FirmwarePage& page = expected.pages.emplace_back();
        unsigned sum = 0;
        for (int i = 0; i < kPayloadSize; ++i) {
            page[size_t(i)] = record[i];
            sum += record[i];
        }
        if (record[kPayloadSize] != (sum & 0xFF)) {
            expected.outcome = FirmwareReadOutcome::BadRecord;
            expected.statusText = QStringLiteral("Checksum error on input line %1").arg(line);
            return expected;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const FirmwareReadResult result = readFirmwareImage(buffer);
    const Expected expected = Walk(data, size);

    FUZZ_CHECK(buffer.pos() <= kMostBytesRead);
    FUZZ_CHECK(result.image.FWPageCount() <= kMaxPages);
    FUZZ_CHECK(result.outcome == expected.outcome);
    FUZZ_CHECK(result.recordsRead == expected.recordsRead);
    FUZZ_CHECK(result.statusText == expected.statusText);
    FUZZ_CHECK(result.image.pages == expected.pages);
    FUZZ_CHECK(result.image.FWFileLoaded == (result.outcome == FirmwareReadOutcome::Loaded));
    FUZZ_CHECK(result.replacesCurrentImage() == (result.outcome != FirmwareReadOutcome::ReadFailure));
    FUZZ_CHECK(result.description.isEmpty() == (result.outcome != FirmwareReadOutcome::ReadFailure));
    FUZZ_CHECK(result.messageBoxText().isEmpty() == (result.outcome != FirmwareReadOutcome::ReadFailure));

    // The header is taken over whatever follows it; missing bytes read as 0.
    uint8_t header[kHeaderSize] = {};
    std::copy_n(data, std::min(size, size_t(kHeaderSize)), header);
    const FirmwareImage& image = result.image;
    FUZZ_CHECK(image.FWSystemID == header[0]);
    FUZZ_CHECK(image.FWSubSystemID == header[1]);
    FUZZ_CHECK(image.FWSerialNo == header[3] * 256 + header[2]);
    FUZZ_CHECK(image.FWVersionMinor == header[4]);
    FUZZ_CHECK(image.FWVersionMajor == header[5]);
    FUZZ_CHECK(image.FWTargetMask == header[6]);
    return 0;
}

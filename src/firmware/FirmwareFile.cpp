#include "FirmwareFile.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <numeric>

using namespace FirmwareFormat;

namespace {

constexpr int kHeaderTerminatorAt = 8;
constexpr int kChecksumAt = kPayloadSize;
constexpr int kRecordTerminatorAt = kPayloadSize + 1;

// Reads until `size` bytes are in or the device has no more to give; the
// caller tells a short read (end of data) from a full one. -1 on a device
// error.
qint64 readUpTo(QIODevice& device, char* data, qint64 size) {
    qint64 got = 0;
    while (got < size) {
        const qint64 n = device.read(data + got, size - got);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

quint8 byteAt(const char* data, int offset) {
    return static_cast<quint8>(data[offset]);
}

quint8 payloadSum(const char* payload) {
    const auto* bytes = reinterpret_cast<const quint8*>(payload);
    return static_cast<quint8>(std::accumulate(bytes, bytes + kPayloadSize, 0u) & 0xFF);
}

void takeHeader(FirmwareImage& image, const char* header) {
    image.FWSystemID = byteAt(header, 0);
    image.FWSubSystemID = byteAt(header, 1);
    image.FWSerialNo = byteAt(header, 3) * 256 + byteAt(header, 2);
    image.FWVersionMinor = byteAt(header, 4);
    image.FWVersionMajor = byteAt(header, 5);
    image.FWTargetMask = byteAt(header, 6);
}

FirmwareReadResult badRecord(FirmwareReadResult result, const QString& statusText) {
    result.outcome = FirmwareReadOutcome::BadRecord;
    result.statusText = statusText;
    return result;
}

FirmwareReadResult readFailure(FirmwareReadResult result, const QString& description) {
    result.outcome = FirmwareReadOutcome::ReadFailure;
    result.description = description;
    return result;
}

} // namespace

QString FirmwareReadResult::messageBoxText() const {
    switch (outcome) {
    case FirmwareReadOutcome::ReadFailure:
        return QStringLiteral("Error reading from firmware file: ") + description;
    case FirmwareReadOutcome::OpenFailure:
        return QStringLiteral("Error opening config file: ") + description;
    case FirmwareReadOutcome::Loaded:
    case FirmwareReadOutcome::BadRecord:
        break;
    }
    return {};
}

FirmwareReadResult readFirmwareImage(QIODevice& device) {
    FirmwareReadResult result;

    // Missing header bytes read as 0, so a file too short for its ";" is a
    // bad header.
    std::array<char, kHeaderSize> header{};
    if (readUpTo(device, header.data(), kHeaderSize) < 0)
        return readFailure(std::move(result), device.errorString());
    // The header is taken over even when it or a record turns out bad: the
    // file display then shows what the rejected file claims to be.
    takeHeader(result.image, header.data());
    if (header[kHeaderTerminatorAt] != kTerminator)
        return badRecord(std::move(result), QStringLiteral("Invalid data format on input line 1"));
    result.recordsRead = true;

    std::array<char, kRecordSize> record{};
    for (int line = 1;; ++line) {
        const qint64 got = readUpTo(device, record.data(), kRecordSize);
        if (got < 0)
            return readFailure(std::move(result), device.errorString());
        if (got < kRecordSize) {
            result.image.ignoredBytes = static_cast<int>(got); // a trailing partial record is not a page
            break;
        }
        if (record[kRecordTerminatorAt] != kTerminator)
            return badRecord(std::move(result),
                             QStringLiteral("Invalid data format on input line %1").arg(line));
        if (result.image.FWPageCount() == kMaxPages)
            return readFailure(std::move(result),
                               QStringLiteral("the file holds more than %1 pages").arg(kMaxPages));

        FirmwarePage& page = result.image.pages.emplace_back();
        std::copy_n(record.begin(), kPayloadSize, reinterpret_cast<char*>(page.data()));
        // The page is counted before its checksum is tested.
        if (byteAt(record.data(), kChecksumAt) != payloadSum(record.data()))
            return badRecord(std::move(result), QStringLiteral("Checksum error on input line %1").arg(line));
    }
    result.image.FWFileLoaded = true;
    return result;
}

FirmwareReadResult readFirmwareImage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        FirmwareReadResult result;
        result.outcome = FirmwareReadOutcome::OpenFailure;
        result.description = file.errorString();
        return result;
    }
    return readFirmwareImage(file);
}

QByteArray firmwareHeaderLine(quint8 sys, quint8 id, quint8 serL, quint8 serH, quint8 appVersionMinor,
                              quint8 appVersionMajor, quint8 mask, quint8 hash1) {
    const char line[kHeaderSize] = {static_cast<char>(sys),
                                    static_cast<char>(id),
                                    static_cast<char>(serL),
                                    static_cast<char>(serH),
                                    static_cast<char>(appVersionMinor),
                                    static_cast<char>(appVersionMajor),
                                    static_cast<char>(mask),
                                    static_cast<char>(hash1),
                                    kTerminator,
                                    '\r',
                                    '\n'};
    return QByteArray(line, kHeaderSize);
}

QByteArray firmwarePageLine(const FirmwarePage& payload) {
    QByteArray line(reinterpret_cast<const char*>(payload.data()), kPayloadSize);
    line.reserve(kRecordSize);
    line.append(static_cast<char>(payloadSum(line.constData())));
    line.append(kTerminator);
    line.append("\r\n", 2);
    return line;
}

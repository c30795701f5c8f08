#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

// Sizes of the .fw file: an 11-byte header line, then one 268-byte line per
// 256-byte page of module memory, each carrying the 264 bytes the module
// returned for that page in encrypted form.
namespace FirmwareFormat {
inline constexpr int kHeaderSize = 11;
inline constexpr int kPayloadSize = 264;
inline constexpr int kRecordSize = 268;
// The in-memory image holds pages 0..256; a 258th page cannot be stored.
inline constexpr int kMaxPages = 257;
inline constexpr char kTerminator = ';';
} // namespace FirmwareFormat

// One page as it goes to the module: the payload of its record, unchanged.
using FirmwarePage = std::array<quint8, FirmwareFormat::kPayloadSize>;

// A firmware file held in memory for programming. The main window keeps one
// current image; a load produces a fresh one, and only the caller decides
// whether it replaces the current one (see FirmwareReadResult).
struct FirmwareImage {
    qint16 FWSystemID = 0;
    qint16 FWSubSystemID = 0;
    qint32 FWSerialNo = 0; // header byte 3 * 256 + byte 2
    qint16 FWVersionMinor = 0;
    qint16 FWVersionMajor = 0;
    qint16 FWTargetMask = 0;
    // Page k is record k of the file. Every counted record is here, including
    // one that failed its checksum.
    std::vector<FirmwarePage> pages;
    // True only for an image whose every record was read without error;
    // programming refuses any other.
    bool FWFileLoaded = false;
    // The bytes of a partial record the file ends in: not a page, left out.
    int ignoredBytes = 0;

    int FWPageCount() const { return static_cast<int>(pages.size()); }
};

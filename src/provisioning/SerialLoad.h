#pragma once

#include "Outcome.h"
#include "SpentSerials.h"

#include <QString>

#include <array>
#include <optional>

class QIODevice;

// What loading a serial-number database gives the admin window. The ID block
// and memo are those of the last record that ends in ";", whether or not it
// failed a field check; an empty file gives next serial 1 and an all-zero ID
// block. An ID-block byte of the last record that is not hex is left empty,
// and the caller keeps what it had for it.
//
// The next serial number follows the highest one in the file (a unit logged
// late may stand after a higher one). A last record whose serial field holds
// no number, or a number beyond 65535, gives no next serial number at all:
// its unit's number is unknown, and the operator must set one. So does a file
// that holds 65535.
struct SerialLoad {
    // Opening or reading failed: nothing below may be used.
    bool failed = false;
    // FileError, or Abandoned when a stop ended the wait for the file.
    Outcome outcome = Outcome::Succeeded;
    // The system's reason, for the "File Open" message box.
    QString error;

    int badRecords = 0;
    // Bytes after the last whole record: a record cut short.
    int partialTailBytes = 0;
    std::optional<qint32> nextSerial = 1;
    // Every serial number the file holds, whether its record is good or not.
    SpentSerials serials;
    // The last record's serial field gives no serial number.
    bool lastSerialUnknown = false;
    // Init, Sys, Sub, SerL, SerH, #1, #2, #3.
    std::array<std::optional<qint16>, 8> idBlock{0, 0, 0, 0, 0, 0, 0, 0};
    // Bytes 71-82 of the last ";" record; empty when there is none, and then
    // the memo box keeps its text.
    std::optional<QString> memo;

    // "Failed: N error lines found." or "File loaded with no errors.",
    // followed by what the last record could not give and by a partial
    // record at the end, e.g. " Unusable in the last record, previous values
    // kept: Sys."
    QString statusText() const;
    // "Error reading Serial Number Database file: " and the reason.
    QString messageBoxText() const;
};

// Reads every complete 100-byte record from the device, one at a time; a
// trailing partial record is not counted as a record.
SerialLoad readSerialRecords(QIODevice& device);

#pragma once

#include <QString>

#include <array>
#include <optional>

class QIODevice;

// What loading a serial-number database gives the admin window. The values
// are those of the last record that ends in ";", whether or not it failed a
// field check; an empty file gives next serial 1 and an all-zero ID block.
// An ID-block byte of the last record that is not hex is left empty, and the
// caller keeps what it had for it. A serial field without a number, or one
// whose successor lies outside 1..65535, gives no next serial number at all:
// the operator must set one, since any other would give a number twice.
struct SerialLoad {
    // Opening or reading failed: nothing below may be used.
    bool failed = false;
    // The system's reason, for the "File Open" message box.
    QString error;

    int badRecords = 0;
    // Bytes after the last whole record: a record cut short.
    int partialTailBytes = 0;
    std::optional<qint32> nextSerial = 1;
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
// trailing partial record is neither counted nor reported.
SerialLoad readSerialRecords(QIODevice& device);

#pragma once

#include "FirmwareImage.h"

#include <QByteArray>
#include <QString>

class QIODevice;

enum class FirmwareReadOutcome {
    // Every complete record was read without error.
    Loaded,
    // The header or a record was rejected; statusText says which line.
    BadRecord,
    // Reading broke off (a 258th page, a device error); description says why.
    ReadFailure,
    // The file could not be opened; description is the system's reason.
    OpenFailure,
};

// What one load of a .fw file produced. The reader never touches the current
// image: the caller makes `image` current exactly when ReplacesCurrentImage()
// says so. After a bad header or record the new image carries the new header
// and FWFileLoaded false; after a read or open failure the previous image,
// header included, stays current and the fresh one is dropped.
struct FirmwareReadResult {
    FirmwareReadOutcome outcome = FirmwareReadOutcome::Loaded;
    FirmwareImage image;
    // False when the header was rejected: no records were read, so there is no
    // "<n> pages loaded OK." to report.
    bool recordsRead = false;
    // BadRecord: "Invalid data format on input line N" or
    // "Checksum error on input line N", the first page record being line 1.
    QString statusText;
    // ReadFailure, OpenFailure: the reason, for the "File Read" message box.
    QString description;

    bool replacesCurrentImage() const {
        return outcome == FirmwareReadOutcome::Loaded || outcome == FirmwareReadOutcome::BadRecord;
    }
    // "Error reading from firmware file: ..." or "Error opening config file: ...".
    QString messageBoxText() const;
};

// Reads a .fw file from an open device, record by record: at most the header
// and 258 records are ever read, whatever the device holds. A trailing partial
// record is no page; the image counts its bytes in `ignoredBytes`.
FirmwareReadResult readFirmwareImage(QIODevice& device);
// Opens the file read-only and reads it as above.
FirmwareReadResult readFirmwareImage(const QString& path);

// The 11-byte header line the capture writes: the eight header bytes, then
// ";", CR, LF. Note the order of the version bytes: minor before major.
QByteArray firmwareHeaderLine(quint8 sys, quint8 id, quint8 serL, quint8 serH, quint8 appVersionMinor,
                              quint8 appVersionMajor, quint8 mask, quint8 hash1);
// The 268-byte line of one page: the payload, the sum of its bytes modulo
// 256, then ";", CR, LF.
QByteArray firmwarePageLine(const FirmwarePage& payload);

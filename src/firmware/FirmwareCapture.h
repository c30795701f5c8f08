#pragma once

#include "FirmwareFileWriter.h"
#include "FirmwareImage.h"
#include "Frames.h"
#include "Outcome.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

class CommsLink;
class Reporter;
class TargetSession;

// The capture of a master module's firmware: the module encrypts its memory
// page by page (command 20) and the pages go, unchanged, into a new .fw file
// whose header names the modules the firmware is for.
class FirmwareCapture : public QObject {
    Q_OBJECT
public:
    // Sys, ID, SerL, SerH, Mask, #1 (elements 6 and 7 are not used).
    using Header = std::array<qint16, 8>;

    FirmwareCapture(CommsLink& link, TargetSession& target, Reporter& reporter, int pageTimeoutMs,
                    QObject* parent = nullptr);

    const Header& EncHeaderData() const { return HeaderData; }
    int UploadPages() const { return PagesToUpload; }
    int PagesUploaded() const { return StoredPages; }
    const QString& fileName() const { return OutputFile; }
    // Where the last capture left its pages: the chosen file when it
    // completed, "<chosen>.partial" when it ended early and kept pages there,
    // nothing when it kept none. keptPages() is how many that file holds.
    const QString& keptFile() const { return KeptFile; }
    int keptPages() const { return KeptPages; }

    // The operator's entries: values outside 0..255 (header bytes 0..5) or
    // 1..256 (pages) leave the field as it was; the answer says whether the
    // value was taken.
    bool enterHeaderByte(int index, double value);
    bool enterUploadPages(double value);
    // A "Quick Set" preset (kCapturePresets); `maxSerial` serves the preset
    // that asks for it.
    void quickSet(int index, qint16 maxSerial = 0);
    // The chosen output file; ".fw" is added to a path without any "." (a dot
    // in a folder's name counts too). An empty choice (Cancel) keeps the
    // previous one.
    void chooseFile(const QString& path);

    // The capture as a step, with its texts and progress. Succeeded when
    // every page was stored and the chosen file replaced. A capture that ends
    // early leaves the chosen file as it was and keeps the pages that arrived
    // in "<chosen name>.partial"; a partial file of an earlier capture stays
    // until this one has a page of its own. A refused or damaged page counts
    // as no page: NoResponse, as "No response." says.
    Outcome UploadEncryptedFirmware();

    // The system calls the capture's file is written with (tests make them fail).
    void setSystemCalls(FirmwareFileWriter::SystemCalls calls) { Calls = std::move(calls); }

signals:
    void settingsChanged();

private:
    void PutEncryptedFirmwarePage(const RxMsg& Message);
    void fileError(const QString& description);
    // Keeps what arrived of a capture that ended early when it is surely on
    // the disk, and says after `stoppedWith` what became of it. `arrived`
    // counts the pages received, written or not; `errorShown`: a file error
    // of this capture has been shown already.
    void keepPartial(FirmwareFileWriter& writer, int arrived, QString stoppedWith, bool errorShown);

    CommsLink& Link;
    TargetSession& Target;
    Reporter& Report;
    QTimer UploadTimer; // the per-page reply time-out
    Header HeaderData{1, 11, 0, 0, 0x22, 0, 0, 0};
    int PagesToUpload = 120;
    int StoredPages = 0;
    QString OutputFile;
    QString KeptFile;
    int KeptPages = 0;
    FirmwarePage LastPage{};
    FirmwareFileWriter::SystemCalls Calls = FirmwareFileWriter::systemCalls();
};

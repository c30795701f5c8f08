#pragma once

#include "CaptureSettings.h"
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
    FirmwareCapture(CommsLink& link, TargetSession& target, Reporter& reporter, int pageTimeoutMs,
                    QObject* parent = nullptr);

    // The settings the windows show and edit; a capture is given its own.
    const CaptureSettings& settings() const { return Settings; }
    void setSettings(const CaptureSettings& settings);
    int PagesUploaded() const { return StoredPages; }
    // Where the last capture left its pages: the chosen file when it
    // completed, "<chosen>.partial" when it ended early and kept pages there,
    // nothing when it kept none. keptPages() is how many that file holds.
    const QString& keptFile() const { return KeptFile; }
    int keptPages() const { return KeptPages; }

    // The capture as a step, with its texts and progress. Succeeded when
    // every page was stored and the chosen file replaced. A capture that ends
    // early leaves the chosen file as it was and keeps the pages that arrived
    // in "<chosen name>.partial"; a partial file of an earlier capture stays
    // until this one has a page of its own. A refused or damaged page counts
    // as no page: NoResponse, as "No response." says.
    Outcome UploadEncryptedFirmware(const CaptureSettings& request);

    // The system calls the capture's file is written with (tests make them fail).
    void setSystemCalls(FirmwareFileWriter::SystemCalls calls) { Calls = std::move(calls); }

private:
    void PutEncryptedFirmwarePage(const RxMsg& Message);
    void fileError(const QString& description);
    // Keeps what arrived of a capture that ended early when it is surely on
    // the disk, and says after `stoppedWith` what became of it. `arrived`
    // counts the pages received of `total`, written or not; `errorShown`: a
    // file error of this capture has been shown already.
    void keepPartial(FirmwareFileWriter& writer, int arrived, int total, QString stoppedWith,
                     bool errorShown);

    CommsLink& Link;
    TargetSession& Target;
    Reporter& Report;
    QTimer UploadTimer; // the per-page reply time-out
    CaptureSettings Settings;
    int StoredPages = 0;
    QString KeptFile;
    int KeptPages = 0;
    FirmwarePage LastPage{};
    FirmwareFileWriter::SystemCalls Calls = FirmwareFileWriter::systemCalls();
};

#pragma once

#include "FirmwareImage.h"
#include "Frames.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

class CommsLink;
class FirmwareFileWriter;
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
    static constexpr int kPresets = 8;

    FirmwareCapture(CommsLink& link, TargetSession& target, Reporter& reporter, int pageTimeoutMs,
                    QObject* parent = nullptr);

    const Header& EncHeaderData() const { return Header_; }
    int UploadPages() const { return UploadPages_; }
    int PagesUploaded() const { return PagesUploaded_; }
    const QString& FileName() const { return FileName_; }

    // The operator's entries: values outside 0..255 (header) or 1..256
    // (pages) leave the field as it was.
    void EnterHeaderByte(int index, double value);
    void EnterUploadPages(double value);
    // A "Quick Set" preset; `maxSerial` is asked for preset 0 only.
    void QuickSet(int index, qint16 maxSerial = 0);
    // The chosen output file; ".fw" is added to a path without any ".". An
    // empty choice (Cancel) keeps the previous one.
    void ChooseFile(const QString& path);

    // The capture as a step, with its texts. True when every page was stored
    // and the chosen file replaced. A capture that ends early leaves the
    // chosen file as it was and keeps the pages that arrived in
    // "<chosen name>.partial".
    bool UploadEncryptedFirmware();

    // The per-page reply time-out; it belongs to the capture.
    QTimer UploadTimer;

signals:
    void settingsChanged();
    // Pages stored so far of the pages asked for.
    void progress(int stored, int total);

private:
    void PutEncryptedFirmwarePage(const RxMsg& Message);
    void fileError(const QString& description);
    bool keepPartial(FirmwareFileWriter& writer, const QString& stoppedWith);

    CommsLink& Link;
    TargetSession& Target;
    Reporter& Report;
    Header Header_{1, 11, 0, 0, 0x22, 0, 0, 0};
    int UploadPages_ = 120;
    int PagesUploaded_ = 0;
    QString FileName_;
    FirmwarePage LastPage{};
};

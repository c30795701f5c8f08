#include "FirmwareCapture.h"

#include "CommsLink.h"
#include "FirmwareFile.h"
#include "FirmwareFileWriter.h"
#include "Reporter.h"
#include "TargetSession.h"

#include <algorithm>

FirmwareCapture::FirmwareCapture(CommsLink& link, TargetSession& target, Reporter& reporter,
                                 int pageTimeoutMs, QObject* parent)
    : QObject(parent), Link(link), Target(target), Report(reporter), UploadTimer(this) {
    UploadTimer.setObjectName(QStringLiteral("UploadTimer"));
    UploadTimer.setTimerType(Qt::PreciseTimer);
    UploadTimer.setSingleShot(true);
    UploadTimer.setInterval(pageTimeoutMs);
    connect(&Link, &CommsLink::encryptedPageReceived, this, &FirmwareCapture::PutEncryptedFirmwarePage);
}

void FirmwareCapture::setSettings(const CaptureSettings& settings) {
    Settings = settings;
    Report.changed(Change::CaptureSettings);
}

void FirmwareCapture::PutEncryptedFirmwarePage(const RxMsg& Message) {
    // The page's bytes follow the reply code.
    std::transform(Message.begin() + 1, Message.begin() + 1 + LastPage.size(), LastPage.begin(),
                   [](qint16 byte) { return static_cast<quint8>(byte); });
}

void FirmwareCapture::fileError(const QString& description) {
    Report.critical(QStringLiteral("File Open"),
                    QStringLiteral("Error opening firmware file: ") + description);
}

Outcome FirmwareCapture::UploadEncryptedFirmware(const CaptureSettings& request) {
    KeptFile.clear();
    KeptPages = 0;
    // Its outcome is not needed (the last identity read serves), unless the
    // program is closing: then no file is touched.
    const Outcome read = Target.RequestTargetID();
    if (read == Outcome::Abandoned)
        return read;
    const TargetIdentity& id = Target.identity();
    if (id.AppVersionMajor == 0 && id.AppVersionMinor == 0) {
        Report.status(QStringLiteral("Read Target ID for version number first."));
        return read != Outcome::Succeeded ? read : Outcome::BadInput;
    }
    if (request.file.isEmpty()) {
        fileError(QStringLiteral("No file name has been chosen."));
        return Outcome::FileError;
    }
    // The pages go into a file beside the chosen one, which is replaced only
    // by a complete capture.
    FirmwareFileWriter writer(Calls);
    if (!writer.create(request.file)) {
        fileError(writer.errorString());
        return Outcome::FileError;
    }
    StoredPages = 0;
    Report.progress(Activity::Capture, StoredPages, request.pages);
    const auto byte = [](qint16 v) { return static_cast<quint8>(v & 0xFF); };
    if (!writer.writeLine(firmwareHeaderLine(byte(request.header[0]), byte(request.header[1]),
                                             byte(request.header[2]), byte(request.header[3]),
                                             byte(id.AppVersionMinor), byte(id.AppVersionMajor),
                                             byte(request.header[4]), byte(request.header[5])))) {
        fileError(writer.errorString());
        writer.discard();
        return Outcome::FileError;
    }

    Outcome ended = Outcome::Succeeded;
    QString stoppedWith; // the status text of a capture that ended early
    int arrived = 0;
    for (int page = 0; page < request.pages; ++page) {
        OutMsg message{};
        message[0] = Frame::kRequestEncryptedPage;
        for (size_t i = 0; i < 6; ++i)
            message[i + 1] = request.header[i];
        message[7] = static_cast<qint16>(page);
        message[8] = 0; // the eighth data byte is not used by the capture
        Report.status(QStringLiteral("Uploading firmware ..."));
        const Outcome outcome = Link.transact(message, 10, ReplyKind::EncryptedPage, &UploadTimer);
        if (outcome != Outcome::Succeeded) {
            // The capture waits for pages only: a refusal, or a page that
            // arrived damaged, is no page.
            ended = outcome == Outcome::Refused ? Outcome::NoResponse : outcome;
            // A program that is closing shows nothing more.
            if (outcome != Outcome::Abandoned)
                stoppedWith = QStringLiteral("No response.");
            break;
        }
        ++arrived;
        // The first page replaces what an earlier capture kept.
        if (!writer.writeLine(firmwarePageLine(LastPage)) || (page == 0 && !writer.keepAsPartial())) {
            ended = Outcome::FileError;
            fileError(writer.errorString());
            break;
        }
        ++StoredPages;
        Report.progress(Activity::Capture, StoredPages, request.pages);
    }

    if (StoredPages == request.pages) {
        if (writer.commit()) {
            KeptFile = request.file;
            KeptPages = StoredPages;
            Report.status(QStringLiteral("Firmware upload completed successfully."));
            return Outcome::Succeeded;
        }
        ended = Outcome::FileError;
        fileError(writer.errorString());
    }
    keepPartial(writer, arrived, request.pages, stoppedWith, ended == Outcome::FileError);
    return ended;
}

void FirmwareCapture::keepPartial(FirmwareFileWriter& writer, int arrived, int total, QString stoppedWith,
                                  bool errorShown) {
    const auto say = [&stoppedWith](const QString& text) {
        return stoppedWith.isEmpty() ? text : stoppedWith + QLatin1Char(' ') + text;
    };
    const bool kept = StoredPages > 0 && writer.keep();
    if (kept) {
        KeptFile = writer.partialPath();
        KeptPages = StoredPages;
        Report.status(
            say(QStringLiteral("%1 of %2 pages kept in %3").arg(StoredPages).arg(total).arg(KeptFile)));
        return;
    }
    // What is not surely on the disk is not kept: a partial file of an
    // earlier capture that this one has not replaced stays as it was.
    if (StoredPages > 0 && !errorShown)
        fileError(writer.errorString());
    writer.discard();
    if (arrived > 0)
        stoppedWith =
            say(QStringLiteral("%1 of %2 pages arrived but could not be kept.").arg(arrived).arg(total));
    Report.status(stoppedWith);
}

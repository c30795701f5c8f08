#include "FirmwareCapture.h"

#include "CommsLink.h"
#include "FirmwareFile.h"
#include "FirmwareFileWriter.h"
#include "OperatorNumber.h"
#include "Reporter.h"
#include "TargetSession.h"

namespace {
constexpr int kMaxUploadPages = 256;

struct Preset {
    bool changes;
    qint16 sys, id, mask;
    int pages;
};
// Index 0 takes its serial bytes from the highest serial number asked for;
// the others clear them. Preset 6 changes nothing.
constexpr std::array<Preset, FirmwareCapture::kPresets> kPresetTable{{{true, 1, 10, 0x22, 120},
                                                                      {true, 1, 15, 0x10, 120},
                                                                      {true, 16, 1, 0xF0, 120},
                                                                      {true, 8, 0, 0x00, 120},
                                                                      {true, 3, 1, 0xF0, 256},
                                                                      {true, 3, 2, 0xF0, 256},
                                                                      {false, 0, 0, 0, 0},
                                                                      {true, 17, 1, 0xF0, 120}}};
} // namespace

FirmwareCapture::FirmwareCapture(CommsLink& link, TargetSession& target, Reporter& reporter,
                                 int pageTimeoutMs, QObject* parent)
    : QObject(parent), UploadTimer(this), Link(link), Target(target), Report(reporter) {
    UploadTimer.setObjectName(QStringLiteral("UploadTimer"));
    UploadTimer.setTimerType(Qt::PreciseTimer);
    UploadTimer.setSingleShot(true);
    UploadTimer.setInterval(pageTimeoutMs);
    connect(&Link, &CommsLink::encryptedPageReceived, this, &FirmwareCapture::PutEncryptedFirmwarePage);
}

void FirmwareCapture::EnterHeaderByte(int index, double value) {
    if (index < 0 || index > 5)
        return;
    if (const auto v = OperatorNumber::WholeInRange(value, 0, 255))
        Header_[static_cast<size_t>(index)] = static_cast<qint16>(*v);
    emit settingsChanged();
}

void FirmwareCapture::EnterUploadPages(double value) {
    if (const auto v = OperatorNumber::WholeInRange(value, 1, kMaxUploadPages))
        UploadPages_ = *v;
    emit settingsChanged();
}

void FirmwareCapture::QuickSet(int index, qint16 maxSerial) {
    if (index < 0 || index >= kPresets)
        return;
    const Preset& p = kPresetTable[static_cast<size_t>(index)];
    if (p.changes) {
        const int serial = index == 0 ? maxSerial : 0;
        Header_[0] = p.sys;
        Header_[1] = p.id;
        Header_[2] = static_cast<qint16>(serial & 0xFF);
        Header_[3] = static_cast<qint16>((serial >> 8) & 0xFF);
        Header_[4] = p.mask;
        UploadPages_ = p.pages;
    }
    emit settingsChanged();
}

void FirmwareCapture::ChooseFile(const QString& path) {
    if (path.isEmpty())
        return;
    FileName_ = path.contains(QLatin1Char('.')) ? path : path + QStringLiteral(".fw");
    emit settingsChanged();
}

void FirmwareCapture::PutEncryptedFirmwarePage(const RxMsg& Message) {
    for (size_t i = 0; i < LastPage.size(); ++i)
        LastPage[i] = static_cast<quint8>(Message[i + 1]);
}

void FirmwareCapture::fileError(const QString& description) {
    Report.ShowCritical(QStringLiteral("File Open"),
                        QStringLiteral("Error opening firmware file: ") + description);
}

bool FirmwareCapture::UploadEncryptedFirmware() {
    // Its outcome is not needed (the last identity read serves), unless the
    // program is closing: then no file is touched.
    if (Target.RequestTargetID() == CommandOutcome::Abandoned)
        return false;
    const TargetIdentity& id = Target.identity();
    if (id.AppVersionMajor == 0 && id.AppVersionMinor == 0) {
        Report.UpdateStatusDisp(QStringLiteral("Read Target ID for version number first."));
        return false;
    }
    if (FileName_.isEmpty()) {
        fileError(QStringLiteral("No file name has been chosen."));
        return false;
    }
    // The pages go into a file beside the chosen one, which is replaced only
    // by a complete capture.
    FirmwareFileWriter writer;
    if (!writer.Create(FileName_)) {
        fileError(writer.ErrorString());
        return false;
    }
    PagesUploaded_ = 0;
    emit progress(PagesUploaded_, UploadPages_);
    const auto byte = [](qint16 v) { return static_cast<quint8>(v & 0xFF); };
    if (!writer.WriteLine(FirmwareHeaderLine(byte(Header_[0]), byte(Header_[1]), byte(Header_[2]),
                                             byte(Header_[3]), byte(id.AppVersionMinor),
                                             byte(id.AppVersionMajor), byte(Header_[4]), byte(Header_[5])))) {
        fileError(writer.ErrorString());
        writer.Discard();
        return false;
    }

    QString stoppedWith; // the status text of a capture that ended early
    for (int page = 0; page < UploadPages_; ++page) {
        OutMsg message{};
        message[0] = Frame::kRequestEncryptedPage;
        for (size_t i = 0; i < 6; ++i)
            message[i + 1] = Header_[i];
        message[7] = static_cast<qint16>(page);
        message[8] = 0; // the eighth data byte is not used by the capture
        Report.UpdateStatusDisp(QStringLiteral("Uploading firmware ..."));
        const CommandOutcome outcome = Link.Transact(message, 10, ReplyKind::EncryptedPage, &UploadTimer);
        if (outcome != CommandOutcome::Succeeded) {
            // A program that is closing shows nothing more.
            if (outcome != CommandOutcome::Abandoned)
                stoppedWith = QStringLiteral("No response.");
            break;
        }
        if (!writer.WriteLine(FirmwarePageLine(LastPage))) {
            fileError(writer.ErrorString());
            break;
        }
        ++PagesUploaded_;
        emit progress(PagesUploaded_, UploadPages_);
    }

    if (PagesUploaded_ == UploadPages_) {
        if (!writer.Commit()) {
            fileError(writer.ErrorString());
            return keepPartial(writer, {});
        }
        Report.UpdateStatusDisp(QStringLiteral("Firmware upload completed successfully."));
        return true;
    }
    return keepPartial(writer, stoppedWith);
}

bool FirmwareCapture::keepPartial(FirmwareFileWriter& writer, const QString& stoppedWith) {
    if (PagesUploaded_ == 0) {
        // Nothing arrived that would be worth keeping.
        writer.Discard();
        if (!stoppedWith.isEmpty())
            Report.UpdateStatusDisp(stoppedWith);
        return false;
    }
    if (!writer.Keep())
        fileError(writer.ErrorString());
    const QString kept = QStringLiteral("%1 of %2 pages kept in %3")
                             .arg(PagesUploaded_)
                             .arg(UploadPages_)
                             .arg(writer.PartialPath());
    Report.UpdateStatusDisp(stoppedWith.isEmpty() ? kept : stoppedWith + QLatin1Char(' ') + kept);
    return false;
}

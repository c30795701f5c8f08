#include "FirmwareProgrammer.h"

#include "CommsLink.h"
#include "FirmwareFile.h"
#include "Maintenance.h"
#include "Reporter.h"
#include "TargetSession.h"

namespace {
// How the target's value must relate to the header's, by the nibble of the
// target mask.
bool NibbleMatches(int mode, int target, int header) {
    switch (mode) {
    case 0x0:
        return true;
    case 0x1:
        return target >= header;
    case 0x2:
        return target <= header;
    case 0xF:
        return target == header;
    default:
        return false;
    }
}
} // namespace

FirmwareProgrammer::FirmwareProgrammer(CommsLink& link, TargetSession& target, Maintenance& maintenance,
                                       Reporter& reporter, QObject* parent)
    : QObject(parent), Link(link), Target(target), Maint(maintenance), Report(reporter) {}

void FirmwareProgrammer::ReadFirmwareFile(const QString& path) {
    FirmwareReadResult result = ReadFirmwareImage(path);
    if (!result.ReplacesCurrentImage()) {
        Report.ShowCritical(QStringLiteral("File Read"), result.MessageBoxText());
        return;
    }
    Filename = path;
    Image = std::move(result.image);
    if (result.recordsRead) {
        Report.UpdateStatusDisp(QStringLiteral("%1 pages loaded OK.").arg(Image.FWPageCount()));
        emit recordsLoaded();
    }
    emit imageChanged();
    if (result.outcome == FirmwareReadOutcome::BadRecord)
        Report.UpdateStatusDisp(result.statusText);
    else
        Report.PutStatusMsg(QStringLiteral("Firmware file loaded successfully."));
}

bool FirmwareProgrammer::FirmwareMatchesTarget() const {
    if (Target.GetTgtSystemID() != Image.FWSystemID)
        return false;
    const int mode = (Image.FWTargetMask & 0xF0) / 16;
    // The low nibble (the serial number) is the module's own affair.
    return NibbleMatches(mode, Target.GetTgtSubsystemID(), Image.FWSubSystemID);
}

bool FirmwareProgrammer::ProgramFW(bool ctrlHeld) {
    if (!Image.FWFileLoaded) {
        Report.PutStatusMsg(QStringLiteral("No firmware file has been loaded."));
        return false;
    }
    if (!FirmwareMatchesTarget() && !ctrlHeld) {
        Report.PutStatusMsg(QStringLiteral("Firmware is not for this module"));
        return false;
    }
    const int pageCount = Image.FWPageCount();
    emit progress(0, pageCount);
    if (!Target.GetEraseEachPage()) {
        static const OutcomeTexts texts{QStringLiteral("Erase Failed."), QStringLiteral("No response."), {}};
        Report.UpdateStatusDisp(QStringLiteral("Erasing ...."));
        if (const CommandOutcome erased = Maint.EraseFlash(); erased != CommandOutcome::Succeeded) {
            Report.UpdateStatusDisp(texts.textFor(erased));
            return false;
        }
    }
    for (int page = 0; page < pageCount; ++page) {
        Report.UpdateStatusDisp(QStringLiteral("Writing page %1 of %2").arg(page).arg(pageCount));
        if (!ProgramPage(page))
            return false;
        emit progress(page + 1, pageCount);
    }
    Report.UpdateStatusDisp(QStringLiteral("Program complete."));
    emit programComplete();
    return true;
}

bool FirmwareProgrammer::ProgramPage(int page) {
    static const OutcomeTexts texts{QStringLiteral("Program Failed (Program Error)."),
                                    QStringLiteral("Program Failed (No Response)."),
                                    {}};
    const CommandOutcome outcome = ProgFWPage(Image.pages[static_cast<size_t>(page)]);
    if (outcome == CommandOutcome::Succeeded)
        return true;
    Report.UpdateStatusDisp(texts.textFor(outcome));
    return false;
}

CommandOutcome FirmwareProgrammer::ProgFWPage(const FirmwarePage& payload) {
    OutMsg message{};
    // A bootloader that erases and writes single pages would take code 25
    // here, without the erase before the first page.
    message[0] = Target.GetEraseEachPage() ? Frame::kEraseAndProgramPage : Frame::kProgramPage;
    for (size_t i = 0; i < payload.size(); ++i)
        message[i + 1] = payload[i];
    return Link.Transact(message, 266, ReplyKind::Acknowledgement);
}

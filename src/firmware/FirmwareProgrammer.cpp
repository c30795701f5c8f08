#include "FirmwareProgrammer.h"

#include "CommsLink.h"
#include "FirmwareFile.h"
#include "Maintenance.h"
#include "Reporter.h"
#include "TargetSession.h"

namespace {
// How the target's value must relate to the header's, by the nibble of the
// target mask.
bool nibbleMatches(int mode, int target, int header) {
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

Outcome FirmwareProgrammer::ReadFirmwareFile(const QString& path) {
    FirmwareReadResult result = readFirmwareImage(path);
    if (!result.replacesCurrentImage()) {
        Report.critical(QStringLiteral("File Read"), result.messageBoxText());
        return Outcome::FileError;
    }
    Filename = path;
    Image = std::move(result.image);
    if (result.recordsRead) {
        Report.status(QStringLiteral("%1 pages loaded OK.").arg(Image.FWPageCount()));
        Report.changed(Change::FirmwareRead);
    }
    Report.changed(Change::Firmware);
    if (result.outcome == FirmwareReadOutcome::BadRecord) {
        Report.status(result.statusText);
        return Outcome::FileError;
    }
    Report.mainStatus(QStringLiteral("Firmware file loaded successfully."));
    // Last, so that both status lines show it.
    if (Image.ignoredBytes > 0)
        Report.status(QStringLiteral("The file ends in a partial record of %1 bytes; they were ignored.")
                          .arg(Image.ignoredBytes));
    return Outcome::Succeeded;
}

bool FirmwareProgrammer::FirmwareMatchesTarget() const {
    if (Target.GetTgtSystemID() != Image.FWSystemID)
        return false;
    const int mode = (Image.FWTargetMask & 0xF0) / 16;
    // The low nibble (the serial number) is the module's own affair.
    return nibbleMatches(mode, Target.GetTgtSubsystemID(), Image.FWSubSystemID);
}

Outcome FirmwareProgrammer::ProgramFW(bool ignoreTargetCheck) {
    PagesWritten = 0;
    if (!Image.FWFileLoaded) {
        Report.mainStatus(QStringLiteral("No firmware file has been loaded."));
        return Outcome::BadInput;
    }
    if (!FirmwareMatchesTarget() && !ignoreTargetCheck) {
        Report.mainStatus(QStringLiteral("Firmware is not for this module"));
        return Outcome::RuleRefused;
    }
    const int pageCount = Image.FWPageCount();
    Report.progress(Activity::Programming, 0, pageCount);
    if (!Target.GetEraseEachPage()) {
        static const OutcomeTexts kTexts{QStringLiteral("Erase Failed."), QStringLiteral("No response."), {}};
        Report.status(QStringLiteral("Erasing ...."));
        // Succeeded has no text of its own: the first page's follows.
        if (const Outcome erased = kTexts.show(Report, Maint.EraseFlash()); erased != Outcome::Succeeded)
            return erased;
    }
    for (int page = 0; page < pageCount; ++page) {
        Report.status(QStringLiteral("Writing page %1 of %2").arg(page).arg(pageCount));
        if (const Outcome written = ProgramPage(page); written != Outcome::Succeeded)
            return written;
        PagesWritten = page + 1;
        Report.progress(Activity::Programming, PagesWritten, pageCount);
    }
    Report.status(QStringLiteral("Program complete."));
    Report.changed(Change::FirmwareProgrammed);
    return Outcome::Succeeded;
}

Outcome FirmwareProgrammer::ProgramPage(int page) {
    static const OutcomeTexts kTexts{QStringLiteral("Program Failed (Program Error)."),
                                     QStringLiteral("Program Failed (No Response)."),
                                     {}};
    return kTexts.show(Report, ProgFWPage(Image.pages[static_cast<size_t>(page)]));
}

Outcome FirmwareProgrammer::ProgFWPage(const FirmwarePage& payload) {
    OutMsg message{};
    // A bootloader that erases and writes single pages would take code 25
    // here, without the erase before the first page.
    message[0] = Target.GetEraseEachPage() ? Frame::kEraseAndProgramPage : Frame::kProgramPage;
    for (size_t i = 0; i < payload.size(); ++i)
        message[i + 1] = payload[i];
    return Link.transact(message, 266, ReplyKind::Acknowledgement);
}

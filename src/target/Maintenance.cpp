#include "Maintenance.h"

#include "CommsLink.h"
#include "Reporter.h"

Maintenance::Maintenance(CommsLink& link, Reporter& reporter) : Link(link), Report(reporter) {}

Outcome Maintenance::command(qint16 code) {
    OutMsg message{};
    message[0] = code;
    return Link.transact(message, 2, ReplyKind::Acknowledgement);
}

Outcome Maintenance::EraseFlash() {
    return command(Frame::kEraseFlash);
}
Outcome Maintenance::WipeDevice() {
    return command(Frame::kWipeDevice);
}
Outcome Maintenance::restoreBackup() {
    return command(Frame::kRestoreSerialBackup);
}

Outcome Maintenance::EraseTarget() {
    static const OutcomeTexts kTexts{QStringLiteral("Erase Failed."), QStringLiteral("No response."),
                                     QStringLiteral("OK")};
    Report.status(QStringLiteral("Erasing ...."));
    return kTexts.show(Report, EraseFlash());
}

Outcome Maintenance::WipeTarget() {
    static const OutcomeTexts kTexts{QStringLiteral("Wipe Failed."), QStringLiteral("No response."),
                                     QStringLiteral("OK - Wiped")};
    Report.status(QStringLiteral("Wiping ...."));
    return kTexts.show(Report, WipeDevice());
}

Outcome Maintenance::RestoreSerialBackup() {
    static const OutcomeTexts kTexts{QStringLiteral("Restore Failed (Program Error)."),
                                     QStringLiteral("Restore Failed (No Response)."),
                                     QStringLiteral("Restore OK.")};
    return kTexts.show(Report, restoreBackup());
}

void Maintenance::Restart() {
    OutMsg message{};
    message[0] = Frame::kRestart;
    Link.post(message, 2, ReplyKind::Acknowledgement);
}

void Maintenance::RestartIntoBootloader(bool SwitchBaud) {
    if (SwitchBaud)
        Link.setApplicationSpeed();
    OutMsg message{};
    message[0] = Frame::kRestartIntoBootloader;
    message[1] = Frame::kRestartIntoBootloaderData;
    // The running application does not answer; nothing is marked in progress.
    Link.sendUnanswered(message, 3);
    Link.resetSpeedLater();
}

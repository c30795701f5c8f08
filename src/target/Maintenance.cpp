#include "Maintenance.h"

#include "CommsLink.h"
#include "Reporter.h"

Maintenance::Maintenance(CommsLink& link, Reporter& reporter) : Link(link), Report(reporter) {}

CommandOutcome Maintenance::command(qint16 code) {
    OutMsg message{};
    message[0] = code;
    return Link.Transact(message, 2, ReplyKind::Acknowledgement);
}

CommandOutcome Maintenance::EraseFlash() {
    return command(Frame::kEraseFlash);
}
CommandOutcome Maintenance::WipeDevice() {
    return command(Frame::kWipeDevice);
}
CommandOutcome Maintenance::RestoreBackup() {
    return command(Frame::kRestoreSerialBackup);
}

void Maintenance::EraseTarget() {
    static const OutcomeTexts texts{QStringLiteral("Erase Failed."), QStringLiteral("No response."),
                                    QStringLiteral("OK")};
    Report.UpdateStatusDisp(QStringLiteral("Erasing ...."));
    Report.UpdateStatusDisp(texts.textFor(EraseFlash()));
}

void Maintenance::WipeTarget() {
    static const OutcomeTexts texts{QStringLiteral("Wipe Failed."), QStringLiteral("No response."),
                                    QStringLiteral("OK - Wiped")};
    Report.UpdateStatusDisp(QStringLiteral("Wiping ...."));
    Report.UpdateStatusDisp(texts.textFor(WipeDevice()));
}

void Maintenance::RestoreSerialBackup() {
    static const OutcomeTexts texts{QStringLiteral("Restore Failed (Program Error)."),
                                    QStringLiteral("Restore Failed (No Response)."),
                                    QStringLiteral("Restore OK.")};
    Report.UpdateStatusDisp(texts.textFor(RestoreBackup()));
}

void Maintenance::Restart() {
    OutMsg message{};
    message[0] = Frame::kRestart;
    Link.Post(message, 2, ReplyKind::Acknowledgement);
}

void Maintenance::RestartIntoBootloader(bool SwitchBaud) {
    if (SwitchBaud)
        Link.Set3840000Baud();
    OutMsg message{};
    message[0] = Frame::kRestartIntoBootloader;
    message[1] = Frame::kRestartIntoBootloaderData;
    // The running application does not answer; nothing is marked in progress.
    Link.SendMessage(message, 3);
    Link.StartResetBaudRateTmr();
}

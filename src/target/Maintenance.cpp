#include "Maintenance.h"

#include "CommandExchange.h"
#include "CommsLink.h"
#include "Reporter.h"

Maintenance::Maintenance(CommsLink& link, CommandExchange& exchange, Reporter& reporter)
    : Link(link), Exchange(exchange), Report(reporter) {}

void Maintenance::sendCommand(qint16 code) {
    OutMsg message{};
    message[0] = code;
    Exchange.SetMessageInProgress();
    Link.SendMessage(message, 2);
}

void Maintenance::EraseFlash() {
    sendCommand(Frame::kEraseFlash);
}
void Maintenance::WipeDevice() {
    sendCommand(Frame::kWipeDevice);
}
void Maintenance::Restart() {
    sendCommand(Frame::kRestart);
}

void Maintenance::RestartIntoBootloader(bool SwitchBaud) {
    if (SwitchBaud)
        Link.Set3840000Baud();
    OutMsg message{};
    message[0] = Frame::kRestartIntoBootloader;
    message[1] = Frame::kRestartIntoBootloaderData;
    Link.SendMessage(message, 3);
    Link.StartResetBaudRateTmr();
}

void Maintenance::awaitCommand(const QString& startText, qint16 code, const OutcomeTexts& texts) {
    const OperationScope operation(Exchange);
    if (!operation.granted())
        return;
    if (!startText.isEmpty())
        Report.UpdateStatusDisp(startText);
    sendCommand(code);
    Report.UpdateStatusDisp(texts.textFor(Exchange.WaitForOutcome()));
}

void Maintenance::RestoreSerialBackup() {
    static const OutcomeTexts texts{QStringLiteral("Restore Failed (Program Error)."),
                                    QStringLiteral("Restore Failed (No Response)."),
                                    QStringLiteral("Restore OK.")};
    awaitCommand({}, Frame::kRestoreSerialBackup, texts);
}

void Maintenance::EraseTarget() {
    static const OutcomeTexts texts{QStringLiteral("Erase Failed."), QStringLiteral("No response."),
                                    QStringLiteral("OK")};
    awaitCommand(QStringLiteral("Erasing ...."), Frame::kEraseFlash, texts);
}

void Maintenance::WipeTarget() {
    static const OutcomeTexts texts{QStringLiteral("Wipe Failed."), QStringLiteral("No response."),
                                    QStringLiteral("OK - Wiped")};
    awaitCommand(QStringLiteral("Wiping ...."), Frame::kWipeDevice, texts);
}

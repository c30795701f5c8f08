#pragma once

#include <QString>

class CommsLink;
class CommandExchange;
class Reporter;
struct OutcomeTexts;

// Erase, wipe, restart, restart into the bootloader and restore of the serial
// backup. The senders return at once; EraseTarget, WipeTarget and
// RestoreSerialBackup wait for the module and report the outcome.
class Maintenance {
public:
    Maintenance(CommsLink& link, CommandExchange& exchange, Reporter& reporter);

    void EraseFlash();
    void WipeDevice();
    // Leaves the bootloader; nothing waits for the reply.
    void Restart();
    // Asks a running application to restart into its bootloader. With
    // SwitchBaud the frame goes out at 38400 baud; either way the line is back
    // at 115200 baud 300 ms later.
    void RestartIntoBootloader(bool SwitchBaud);

    void RestoreSerialBackup();
    void EraseTarget();
    void WipeTarget();

private:
    void sendCommand(qint16 code);
    void awaitCommand(const QString& startText, qint16 code, const OutcomeTexts& texts);

    CommsLink& Link;
    CommandExchange& Exchange;
    Reporter& Report;
};

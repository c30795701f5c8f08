#pragma once

#include "CommandExchange.h"

#include <QString>

class CommsLink;
class Reporter;

// Erase, wipe, restore of the serial backup, restart and restart into the
// bootloader. The first three are steps: each runs one transaction and answers
// its outcome, and the ...Target forms also report their texts. None takes the
// operation gate; the operations built on them do.
class Maintenance {
public:
    Maintenance(CommsLink& link, Reporter& reporter);

    Outcome EraseFlash();
    Outcome WipeDevice();
    Outcome restoreBackup();

    // "Erasing ....", then "Erase Failed.", "No response." or "OK".
    Outcome EraseTarget();
    // "Wiping ....", then "Wipe Failed.", "No response." or "OK - Wiped".
    Outcome WipeTarget();
    // "Restore Failed (Program Error).", "Restore Failed (No Response)." or "Restore OK.".
    Outcome RestoreSerialBackup();

    // Leaves the bootloader. Sends and returns; the acknowledgement or the
    // time-out settles the command later.
    void Restart();
    // Asks a running application to restart into its bootloader. With
    // SwitchBaud the frame goes out at 38400 baud; either way the line is back
    // at 115200 baud after the reset delay.
    void RestartIntoBootloader(bool SwitchBaud);

private:
    Outcome command(qint16 code);

    CommsLink& Link;
    Reporter& Report;
};

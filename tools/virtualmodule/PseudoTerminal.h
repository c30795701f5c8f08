#pragma once

#include <QString>

// A pseudo-terminal pair. The module keeps the master side; the tool opens the
// slave device by its path. The module also holds the slave open itself, so
// the master stays usable while the tool closes and reopens its port.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool open(QString* error);
    int masterFd() const { return Master; }
    QString slavePath() const { return SlavePath; }
    // The baud rate the tool has set on its side (a pair shares its settings).
    int baudRate() const;
    // Hangs up the slave side, as the kernel does when a USB adapter is pulled,
    // then reopens it so the tool can select the port again.
    bool hangUp(QString* error);
    // Closes the module's side for good: the tool's reads and writes fail, as
    // when a cable is pulled. Needs no privileges, unlike hangUp.
    void closeModuleSide();

private:
    int Master = -1;
    int HeldSlave = -1;
    QString SlavePath;
};

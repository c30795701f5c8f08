#include "OpenSerialLedger.h"

#include "SerialLedgerFile.h"

OpenedLedger openSerialLedger(const LedgerAddress& where, SerialLedger::Sharing sharing,
                              std::chrono::milliseconds lockTimeout, const StopRequested& stop) {
    auto file = std::make_unique<SerialLedgerFile>();
    OpenedLedger opened;
    opened.view = file->open(where.address, sharing, lockTimeout, stop);
    if (opened.view.succeeded())
        opened.ledger = std::move(file);
    return opened;
}

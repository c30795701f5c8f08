#pragma once

#include "SerialLedger.h"

#include <memory>

// Where a serial range is kept: a .ser file's path, or a database's address
// and the range's name in it.
struct LedgerAddress {
    QString address;
    QString range;
};

struct OpenedLedger {
    std::unique_ptr<SerialLedger> ledger; // empty when it could not be opened
    LedgerView view;
};

// Opens the ledger at `where` and reads it.
OpenedLedger openSerialLedger(const LedgerAddress& where, SerialLedger::Sharing sharing,
                              std::chrono::milliseconds lockTimeout = {}, const StopRequested& stop = {});

#pragma once

#include "SerialLedger.h"

#include <QString>

#include <chrono>
#include <memory>

// A ledger opened for a front end: the ledger, and what it held when it was
// opened (or why it could not be opened, and then no ledger).
struct OpenedLedger {
    std::unique_ptr<SerialLedger> ledger;
    LedgerView view;
};

// Opens the serial log at `address`: a "postgresql://" or "postgres://" URI
// gives range `range` in that database. `timeout` bounds the wait for the
// ledger (the database's connection when the URI sets no connect_timeout); a
// stop ends it as Abandoned.
OpenedLedger openSerialLedger(const QString& address, const QString& range, SerialLedger::Sharing sharing,
                              std::chrono::milliseconds timeout, const StopRequested& stop);

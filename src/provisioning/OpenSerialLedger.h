#pragma once

#include "SerialLedger.h"

#include <memory>

// Where a serial range is kept: a .ser file's path, or a database's address
// (a "postgresql://" or "postgres://" URI) and the range's name in it.
struct LedgerAddress {
    QString address;
    QString range;
};

struct OpenedLedger {
    std::unique_ptr<SerialLedger> ledger; // empty when it could not be opened
    LedgerView view;
};

// How the operator knows the ledger at `where`: the file's path, or the
// database's address without its password, and the range.
QString ledgerName(const LedgerAddress& where);

// What is wrong with `where` as the operator gave it: a database address needs
// a range, and a file takes none. Empty when nothing is.
QString ledgerAddressProblem(const LedgerAddress& where);

// Opens the ledger at `where` and reads it. For a database, `lockTimeout`
// (when not zero) bounds the wait for the connection when the URI sets no
// connect_timeout; a stop ends any wait as Abandoned.
OpenedLedger openSerialLedger(const LedgerAddress& where, SerialLedger::Sharing sharing,
                              std::chrono::milliseconds lockTimeout = {}, const StopRequested& stop = {});

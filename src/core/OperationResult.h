#pragma once

#include "Outcome.h"
#include "SerialAllocation.h"
#include "SerialLedger.h"
#include "TargetIdentity.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What an operation did: how it ended, what it last told the operator, and
// what it produced.
struct OperationResult {
    OperationResult(Outcome ended = Outcome::Succeeded) : outcome(ended) {} // NOLINT: an outcome is a result
    Outcome outcome;
    // The last status text it showed; empty when it showed none.
    QString status;
    // "title: text" of the last critical message it showed, if any.
    QString critical;
    // The module's identity, when the operation read it.
    std::optional<TargetIdentity> identity;
    // Pages written (programming) or kept in `file` (capture), of `totalPages`.
    int pages = 0;
    int totalPages = 0;
    // The bytes of a partial last record at the end of the firmware file,
    // which loading left out (load, programming).
    int ignoredBytes = 0;
    // The serial number a logging run took, where it stands, and its record
    // in the serial log once logged.
    std::optional<qint32> serial;
    SerialState serialState = SerialState::None;
    QByteArray record;
    // Serial numbers reserved and not logged (listing a ledger).
    QList<Reservation> reservations;
    // The file the operation wrote or read; a file it wrote is there and holds
    // what the result says.
    QString file;

    bool succeeded() const { return outcome == Outcome::Succeeded; }
};

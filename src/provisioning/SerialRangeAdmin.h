#pragma once

#include "OpenSerialLedger.h"
#include "Outcome.h"
#include "PgRangeSetup.h"

#include <QString>

#include <optional>

// Setting up and exchanging serial ranges, with no module and no port: the
// tables of a database, a range's records written out as a .ser file, and a
// range started from one.
namespace SerialRangeAdmin {

struct Answer {
    Outcome outcome = Outcome::Succeeded;
    QString text;          // what was done, or why not
    QString criticalTitle; // for a message box when it failed; empty for none
    QString file;          // the file written, or the database (without its password)
};

// Creates or upgrades the database's serial tables, then gives `grantRole`
// (when given) the rights a station needs and creates `range` (when given).
Answer initialise(const QString& uri, const QString& grantRole,
                  const std::optional<PgRangeSetup::NewRange>& range, const StopRequested& stop);
// Writes the logged units of the log at `from` (a database range or a .ser
// file), in the order they were logged, into `path`, replacing it only once
// the whole file is on the disk.
Answer exportRecords(const LedgerAddress& from, const QString& path, const StopRequested& stop);
// Starts the database range `into` from the .ser file at `path`.
Answer importRecords(const LedgerAddress& into, const QString& path, const StopRequested& stop);

} // namespace SerialRangeAdmin

#pragma once

#include "PgConnection.h"

#include <QString>
#include <QStringList>

#include <chrono>

// The tables of the serial ranges in a PostgreSQL database, all in the schema
// "merlax": `ranges` (one row a range: its next serial number, its bounds,
// the ID block and memo its units start from), `units` (one row a unit:
// reserved, then logged with its record; UNIQUE (range, serial) is the last
// guard against a number given twice) and `schema_version`. The tool creates
// and upgrades them (db-init); a station only checks their version.
namespace PgSchema {

inline constexpr int kVersion = 1;

struct Answer {
    bool ok = false;
    QString text; // what was done, or why it failed
};

// Empty when the database holds the tables of this version, else what the
// operator must do about it.
QString check(PgConnection& connection, std::chrono::milliseconds timeout,
              const PgConnection::StopRequested& stop);

// Creates the tables, or upgrades older ones, in one transaction.
Answer initialise(PgConnection& connection, std::chrono::milliseconds timeout,
                  const PgConnection::StopRequested& stop);

// The GRANT statements that let `role` run a station: read the ranges and
// units, take numbers, insert, log and cancel its units. Nothing else: no
// new ranges, no changes to a range's bounds or template, no logged unit
// deleted.
QStringList stationGrants(const QString& quotedRole);
Answer grantStation(PgConnection& connection, const QString& role, std::chrono::milliseconds timeout,
                    const PgConnection::StopRequested& stop);

} // namespace PgSchema

#pragma once

#include "IdBlock.h"
#include "PgConnection.h"
#include "PgSchema.h"

#include <QByteArray>
#include <QString>

#include <chrono>

// Starting a serial range in the database: empty, with its bounds and the ID
// block and memo its units start from, or from an existing .ser log.
namespace PgRangeSetup {

struct NewRange {
    QString name;
    qint32 lowest = 1;
    qint32 highest = 65535;
    IdBlock block{90, 1, 1, 0, 0, 0, 0, 0};
    QString memo;
};

// Creates the range unless it exists; an existing range is left as it is.
PgSchema::Answer create(PgConnection& connection, const NewRange& range, std::chrono::milliseconds timeout,
                        const PgConnection::StopRequested& stop);

// Starts `range` from the records of a .ser file, in their order: every unit
// logged, the range going on after its highest serial number, with the last
// record's ID block and memo. Refused, with nothing written, onto a range
// that has units already, and for a file with a record that gives no serial
// number or a number twice. Creates the range when it does not exist.
PgSchema::Answer importFile(PgConnection& connection, const QString& range, const QByteArray& file,
                            std::chrono::milliseconds timeout, const PgConnection::StopRequested& stop);

} // namespace PgRangeSetup

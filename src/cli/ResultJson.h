#pragma once

#include "OperationResult.h"

#include <QDateTime>
#include <QJsonObject>

// One result as the JSON object --json prints: the operation, how it ended
// (outcome name and exit code), the status text it showed, the identity with
// its fields by name, pages, the bytes of a partial record left out of a
// firmware file, the serial number taken, where it stands ("serialState":
// logged, reserved or cancelled) and its record, the file, when it started and
// how long it took.
QJsonObject resultJson(const QString& operation, const OperationResult& result, const QDateTime& started,
                       qint64 elapsedMs);

// The identity's fields by name, with the texts the windows show for them.
QJsonObject identityJson(const TargetIdentity& identity);

// A serial number reserved and not logged: serial, reservedAt, station,
// firmware, idBlock.
QJsonObject reservationJson(const Reservation& reservation);

// "logged", "reserved", "cancelled"; empty for none.
const char* serialStateName(SerialState state);

#pragma once

#include <QString>

#include <optional>

struct TargetIdentity;

// The words the operator reads for a module's numbers.

// Model family of a module: "Solvane", "MERLAX Linkbay", ... or "Undefined".
QString SystemIDtoStr(qint16 ID);
// Variant within a family; "Undefined" for a pair not in the table.
QString SubSystemIDtoStr(qint16 ID, qint16 SubID);
// Text of a module's last error code; "Code: n" for an unknown code.
QString ErrorCodetoStr(qint16 Err);
// The module's printed ID and serial number, e.g. "010A-1234:000000".
QString GetSerialStr(const TargetIdentity& identity);
// System name of a firmware file; no text for system 1 with a sub-system it
// does not name (the caller then keeps what its label showed).
std::optional<QString> FwSystemIDtoStr(qint16 ID, qint16 SubID);

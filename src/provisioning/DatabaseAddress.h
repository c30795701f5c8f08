#pragma once

#include <QString>

// A serial log in a PostgreSQL database is named by a connection URI
// ("postgresql://station@dbhost/line?sslmode=verify-full"); anything else is
// a .ser file's path.
bool isDatabaseAddress(const QString& address);

// The URI as the operator may see it: a password, whether in the user part
// ("station:secret@") or as a "password=" or "sslpassword=" parameter, is left
// out. Status
// lines, message boxes, the file label and results only ever show this form.
QString redactedDatabaseAddress(const QString& address);

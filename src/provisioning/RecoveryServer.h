#pragma once

#include <QString>
#include <QUrl>

// The recovery server keeps one unit file per unit, named after the unit's
// six-character serial text.

// The server's address without trailing "/": the environment variable
// MERLAX_RECOVERY_URL when set, else the address built in with the CMake cache
// variable of the same name, else empty, which means no server is configured.
QString RecoveryBaseURL();

// The choice RecoveryBaseURL makes between a built-in address and one from
// the environment.
QString chooseRecoveryBaseUrl(const QString& builtIn, const QString& fromEnvironment);

// base + "/Temp/" + serial text + "_Fix.dat". The serial text is typed by the
// operator; it is encoded as one path segment so that no character in it
// ("/", "?", "#", "%") can point the request at another resource.
QUrl unitFileAddress(const QString& baseUrl, const QString& serialText);

// What the operator reads when no server is configured.
QString noRecoveryServerText();

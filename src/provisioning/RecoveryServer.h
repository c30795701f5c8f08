#pragma once

#include <QString>
#include <QUrl>

// The recovery server keeps one unit file per unit, named after the unit's
// six-character serial text.

// The server's address without trailing "/": the one given with the program's
// --recovery-url option, else the "url" of the [recovery] section of the
// settings file (recoverySettingsFile()), else the address built in with the
// CMake cache variable MERLAX_RECOVERY_URL, else empty, which means no server
// is configured.
QString RecoveryBaseURL(const QString& fromOption = {});

// The choice RecoveryBaseURL makes: the first address given, in that order.
QString chooseRecoveryBaseUrl(const QString& fromOption, const QString& fromSettings, const QString& builtIn);

// The settings file both programs read: ~/.config/merlax-bootloader/settings.ini
// (XDG_CONFIG_HOME is followed), and /etc/xdg/merlax-bootloader/settings.ini
// for every user of the machine.
QString recoverySettingsFile();

// base + "/Temp/" + serial text + "_Fix.dat". The serial text is typed by the
// operator; it is encoded as one path segment so that no character in it
// ("/", "?", "#", "%") can point the request at another resource.
QUrl unitFileAddress(const QString& baseUrl, const QString& serialText);

// What the operator reads when no server is configured.
QString noRecoveryServerText();

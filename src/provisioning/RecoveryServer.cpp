#include "RecoveryServer.h"

#include <QSettings>

namespace {
QString withoutTrailingSlash(QString address) {
    address = address.trimmed();
    while (address.endsWith(u'/'))
        address.chop(1);
    return address;
}

QSettings settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("merlax-bootloader"),
                     QStringLiteral("settings"));
}
} // namespace

QString chooseRecoveryBaseUrl(const QString& fromOption, const QString& fromSettings,
                              const QString& builtIn) {
    for (const QString& address : {fromOption, fromSettings, builtIn})
        if (!address.trimmed().isEmpty())
            return withoutTrailingSlash(address);
    return {};
}

QString RecoveryBaseURL(const QString& fromOption) {
    return chooseRecoveryBaseUrl(fromOption, settings().value(QStringLiteral("recovery/url")).toString(),
                                 QStringLiteral(MERLAX_BUILT_IN_RECOVERY_URL));
}

QString recoverySettingsFile() {
    return settings().fileName();
}

QUrl unitFileAddress(const QString& baseUrl, const QString& serialText) {
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(serialText));
    return QUrl(withoutTrailingSlash(baseUrl) + QStringLiteral("/Temp/") + segment +
                    QStringLiteral("_Fix.dat"),
                QUrl::StrictMode);
}

QString noRecoveryServerText() {
    return QStringLiteral("No recovery server is configured. Give its address with --recovery-url, or set "
                          "url=http://host/ in the [recovery] section of %1, and try again.")
        .arg(recoverySettingsFile());
}

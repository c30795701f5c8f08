#include "RecoveryServer.h"

#include <QtGlobal>

namespace {
constexpr const char kEnvironmentVariable[] = "MERLAX_RECOVERY_URL";

QString withoutTrailingSlash(QString address) {
    address = address.trimmed();
    while (address.endsWith(u'/'))
        address.chop(1);
    return address;
}
} // namespace

QString chooseRecoveryBaseUrl(const QString& builtIn, const QString& fromEnvironment) {
    return withoutTrailingSlash(fromEnvironment.trimmed().isEmpty() ? builtIn : fromEnvironment);
}

QString RecoveryBaseURL() {
    return chooseRecoveryBaseUrl(QStringLiteral(MERLAX_BUILT_IN_RECOVERY_URL),
                                 qEnvironmentVariable(kEnvironmentVariable));
}

QUrl unitFileAddress(const QString& baseUrl, const QString& serialText) {
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(serialText));
    return QUrl(withoutTrailingSlash(baseUrl) + QStringLiteral("/Temp/") + segment +
                    QStringLiteral("_Fix.dat"),
                QUrl::StrictMode);
}

QString noRecoveryServerText() {
    return QStringLiteral("No recovery server is configured. Set MERLAX_RECOVERY_URL to the server's address "
                          "(for example http://host/) and try again.");
}

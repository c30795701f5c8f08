#include "RecoveryServer.h"

#include <QtGlobal>

namespace {
constexpr const char kEnvironmentVariable[] = "MERLAX_RECOVERY_URL";

QString WithoutTrailingSlash(QString address) {
    address = address.trimmed();
    while (address.endsWith(u'/'))
        address.chop(1);
    return address;
}
} // namespace

QString ChooseRecoveryBaseURL(const QString& builtIn, const QString& fromEnvironment) {
    return WithoutTrailingSlash(fromEnvironment.trimmed().isEmpty() ? builtIn : fromEnvironment);
}

QString RecoveryBaseURL() {
    return ChooseRecoveryBaseURL(QStringLiteral(MERLAX_BUILT_IN_RECOVERY_URL),
                                 qEnvironmentVariable(kEnvironmentVariable));
}

QUrl UnitFileAddress(const QString& baseUrl, const QString& serialText) {
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(serialText));
    return QUrl(WithoutTrailingSlash(baseUrl) + QStringLiteral("/Temp/") + segment +
                    QStringLiteral("_Fix.dat"),
                QUrl::StrictMode);
}

QString NoRecoveryServerText() {
    return QStringLiteral("No recovery server is configured. Set MERLAX_RECOVERY_URL to the server's address "
                          "(for example http://host/) and try again.");
}

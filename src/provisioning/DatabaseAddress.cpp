#include "DatabaseAddress.h"

#include <QStringList>

bool isDatabaseAddress(const QString& address) {
    return address.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           address.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString redactedDatabaseAddress(const QString& address) {
    const qsizetype schemeEnd = address.indexOf(QLatin1String("://"));
    if (schemeEnd < 0)
        return address;
    const qsizetype authorityStart = schemeEnd + 3;
    qsizetype authorityEnd = address.size();
    for (const QChar end : {QLatin1Char('/'), QLatin1Char('?')}) {
        const qsizetype at = address.indexOf(end, authorityStart);
        if (at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    QString authority = address.mid(authorityStart, authorityEnd - authorityStart);
    // The user part ends at the last "@": a password may hold an "@" of its own.
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString user = authority.first(at);
        authority = user.section(QLatin1Char(':'), 0, 0) + authority.mid(at);
    }

    QString rest = address.mid(authorityEnd);
    if (const qsizetype query = rest.indexOf(QLatin1Char('?')); query >= 0) {
        QStringList kept;
        for (const QString& parameter : rest.mid(query + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts))
            if (const QString key = parameter.section(QLatin1Char('='), 0, 0).trimmed().toLower();
                key != QLatin1String("password") && key != QLatin1String("sslpassword"))
                kept << parameter;
        rest =
            rest.first(query) + (kept.isEmpty() ? QString() : QLatin1Char('?') + kept.join(QLatin1Char('&')));
    }
    return address.first(authorityStart) + authority + rest;
}

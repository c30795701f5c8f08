#include "PgSchema.h"

namespace PgSchema {

namespace {

// Version 1, statement by statement.
const char* const kCreateVersion1[] = {
    "CREATE SCHEMA IF NOT EXISTS merlax",
    "CREATE TABLE merlax.schema_version (version integer NOT NULL)",
    "CREATE TABLE merlax.ranges ("
    " name text PRIMARY KEY CHECK (name <> ''),"
    " next_serial integer NOT NULL,"
    " lowest integer NOT NULL DEFAULT 1,"
    " highest integer NOT NULL DEFAULT 65535,"
    " template_block bytea NOT NULL CHECK (length(template_block) = 8),"
    " memo text NOT NULL DEFAULT '',"
    // How many numbers were ever taken and how many reservations cancelled:
    // a station that knows the spent numbers up to `taken` reads only the
    // ones taken since, unless a cancel has freed one meanwhile.
    " taken bigint NOT NULL DEFAULT 0,"
    " cancelled bigint NOT NULL DEFAULT 0,"
    " CHECK (1 <= lowest AND lowest <= highest AND highest <= 65535),"
    " CHECK (lowest <= next_serial AND next_serial <= highest + 1))",
    // The order units were logged in, for the range's .ser file.
    "CREATE SEQUENCE merlax.logged_order",
    "CREATE TABLE merlax.units ("
    " range text NOT NULL REFERENCES merlax.ranges (name),"
    " serial integer NOT NULL CHECK (serial BETWEEN 1 AND 65535),"
    " state text NOT NULL CHECK (state IN ('reserved', 'logged')),"
    " taken bigint NOT NULL,"
    " station text NOT NULL DEFAULT '',"
    " port text NOT NULL DEFAULT '',"
    " firmware text NOT NULL DEFAULT '',"
    " id_block bytea NOT NULL CHECK (length(id_block) = 8),"
    " info_bytes bytea CHECK (length(info_bytes) = 11),"
    " cpu_id bytea CHECK (length(cpu_id) = 4),"
    " bootloader_version text,"
    " memo text,"
    " record bytea CHECK (length(record) = 100),"
    " reserved_at timestamptz NOT NULL DEFAULT now(),"
    " logged_at timestamptz,"
    " logged_order bigint UNIQUE,"
    " UNIQUE (range, serial),"
    " UNIQUE (range, taken),"
    " CHECK ((state = 'logged') = (record IS NOT NULL AND logged_at IS NOT NULL AND logged_order IS NOT "
    "NULL)))",
    "CREATE INDEX units_open ON merlax.units (range, serial) WHERE state = 'reserved'",
    "INSERT INTO merlax.schema_version (version) VALUES (1)",
};

// SQLSTATEs of a missing schema or table.
bool meansNoTables(const QByteArray& sqlState) {
    return sqlState == "3F000" || sqlState == "42P01";
}

} // namespace

QString check(PgConnection& connection, std::chrono::milliseconds timeout,
              const PgConnection::StopRequested& stop) {
    const PgResult result = connection.exec(
        "merlax_schema_version", "SELECT max(version) FROM merlax.schema_version", {}, timeout, stop);
    if (!result.ok() && meansNoTables(result.sqlState))
        return QStringLiteral("the database holds no serial ranges yet: create them with "
                              "merlax-bootloader-cli db-init");
    if (!result.ok())
        return result.error;
    const qint64 version = result.numberAt(0, 0);
    if (version < kVersion)
        return QStringLiteral(
                   "the database's serial tables are version %1, this tool needs %2: upgrade them with "
                   "merlax-bootloader-cli db-init")
            .arg(version)
            .arg(kVersion);
    if (version > kVersion)
        return QStringLiteral("the database's serial tables are version %1, newer than this tool knows (%2): "
                              "use a newer tool")
            .arg(version)
            .arg(kVersion);
    return {};
}

Answer initialise(PgConnection& connection, std::chrono::milliseconds timeout,
                  const PgConnection::StopRequested& stop) {
    const auto failed = [&](const PgResult& result) {
        if (connection.isOpen())
            connection.exec("ROLLBACK", {}, timeout, stop);
        return Answer{false, result.error};
    };
    PgResult result = connection.exec("BEGIN", {}, timeout, stop);
    if (!result.ok())
        return failed(result);
    // Two db-init runs at once: the second waits, then finds the tables.
    result = connection.exec("SELECT pg_advisory_xact_lock(hashtext('merlax schema'))", {}, timeout, stop);
    if (!result.ok())
        return failed(result);
    result = connection.exec("SELECT to_regclass('merlax.schema_version') IS NOT NULL", {}, timeout, stop);
    if (!result.ok())
        return failed(result);
    QString done;
    if (result.textAt(0, 0) == QLatin1String("t")) {
        result = connection.exec("SELECT max(version) FROM merlax.schema_version", {}, timeout, stop);
        if (!result.ok())
            return failed(result);
        const qint64 version = result.numberAt(0, 0);
        if (version > kVersion) {
            connection.exec("ROLLBACK", {}, timeout, stop);
            return {false, QStringLiteral("the database's serial tables are version %1, newer than this tool "
                                          "knows (%2): use a newer tool")
                               .arg(version)
                               .arg(kVersion)};
        }
        // Upgrades from older versions go here, one version after another.
        done = QStringLiteral("The serial tables are up to date (version %1).").arg(kVersion);
    } else {
        for (const char* statement : kCreateVersion1) {
            result = connection.exec(statement, {}, timeout, stop);
            if (!result.ok())
                return failed(result);
        }
        done = QStringLiteral("Serial tables created (version %1).").arg(kVersion);
    }
    result = connection.exec("COMMIT", {}, timeout, stop);
    if (!result.ok())
        return failed(result);
    return {true, done};
}

QStringList stationGrants(const QString& quotedRole) {
    QStringList grants{
        QStringLiteral("GRANT USAGE ON SCHEMA merlax TO %1"),
        QStringLiteral("GRANT SELECT ON merlax.schema_version TO %1"),
        QStringLiteral("GRANT SELECT, UPDATE (next_serial, taken, cancelled) ON merlax.ranges TO %1"),
        QStringLiteral("GRANT SELECT, INSERT, DELETE ON merlax.units TO %1"),
        QStringLiteral(
            "GRANT UPDATE (state, id_block, info_bytes, cpu_id, bootloader_version, memo, record, logged_at, "
            "logged_order) ON merlax.units TO %1"),
        QStringLiteral("GRANT USAGE ON SEQUENCE merlax.logged_order TO %1"),
    };
    return grants.replaceInStrings(QStringLiteral("%1"), quotedRole);
}

Answer grantStation(PgConnection& connection, const QString& role, std::chrono::milliseconds timeout,
                    const PgConnection::StopRequested& stop) {
    const QString quoted = connection.quotedIdentifier(role);
    if (quoted.isEmpty())
        return {false, QStringLiteral("not a role name: %1").arg(role)};
    for (const QString& grant : stationGrants(quoted)) {
        const PgResult result = connection.exec(grant.toUtf8().constData(), {}, timeout, stop);
        if (!result.ok())
            return {false, result.error};
    }
    return {true, QStringLiteral("Role %1 may now run a station.").arg(role)};
}

} // namespace PgSchema

#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct pg_conn;

// One value bound to a statement's parameter: text, or raw bytes for a
// bytea parameter; none for NULL.
struct PgValue {
    std::optional<QByteArray> bytes;
    bool binary = false;

    static PgValue text(const QString& value) { return {value.toUtf8(), false}; }
    static PgValue number(qint64 value) { return {QByteArray::number(value), false}; }
    static PgValue raw(const QByteArray& value) { return {value, true}; }
    static PgValue null() { return {}; }
};

// What a statement answered: its rows as text (bytea decoded to bytes by
// `bytesAt`), or why it failed.
struct PgResult {
    enum class Ended {
        Done,
        Failed,         // the server refused the statement (sqlState says why)
        ConnectionLost, // the connection broke, or was closed after a time-out
        TimedOut,
        Stopped,
    };
    Ended ended = Ended::Done;
    QString error;
    QByteArray sqlState;
    QList<QList<std::optional<QByteArray>>> rows;
    qint64 affected = 0;

    bool ok() const { return ended == Ended::Done; }
    // The connection is no longer usable: the statement may or may not have
    // taken effect.
    bool uncertain() const { return ended == Ended::ConnectionLost || ended == Ended::TimedOut; }
    QString textAt(qsizetype row, qsizetype column) const;
    qint64 numberAt(qsizetype row, qsizetype column) const;
    QByteArray bytesAt(qsizetype row, qsizetype column) const;
    bool isNull(qsizetype row, qsizetype column) const;
};

// An asynchronous libpq connection whose every wait (connecting, sending, an
// answer) blocks in a local event loop on the connection's socket: the
// windows stay responsive, and a wait ends on the answer, on its time-out or
// within a few tens of milliseconds of a stop request. Connection parameters,
// passwords (~/.pgpass, PGPASSWORD), TLS and the PG* environment work as in
// every PostgreSQL client, since libpq reads them itself.
class PgConnection {
public:
    using StopRequested = std::function<bool()>;

    PgConnection();
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects to `uri`. The URI's connect_timeout (or PGCONNECT_TIMEOUT)
    // bounds the wait; without one, `timeout` does. On failure the reason is
    // in the result, without the password.
    PgResult open(const QString& uri, std::chrono::milliseconds timeout, const StopRequested& stop);
    bool isOpen() const;
    void close();

    // Runs one statement with bound values. A `name` makes it a named
    // prepared statement, prepared once per connection; an empty one runs
    // it unnamed. A time-out or a stop closes the connection: what the
    // statement did is then unknown.
    PgResult exec(const char* name, const char* sql, const QList<PgValue>& values,
                  std::chrono::milliseconds timeout, const StopRequested& stop);
    PgResult exec(const char* sql, const QList<PgValue>& values, std::chrono::milliseconds timeout,
                  const StopRequested& stop) {
        return exec("", sql, values, timeout, stop);
    }

    // An identifier quoted for a statement that cannot bind it (GRANT ... TO role).
    QString quotedIdentifier(const QString& identifier) const;

private:
    PgResult connectTo(const QString& uri, std::chrono::milliseconds timeout, const StopRequested& stop);
    enum class Waited { Ready, TimedOut, Stopped };
    Waited waitForSocket(bool forWriting, const QDeadlineTimer& deadline, const StopRequested& stop);
    PgResult sendAndCollect(const std::function<int()>& send, const QDeadlineTimer& deadline,
                            const StopRequested& stop);
    PgResult lost(PgResult::Ended ended, const QString& why);
    QString connectionError() const;

    struct Finish {
        void operator()(pg_conn* connection) const;
    };
    std::unique_ptr<pg_conn, Finish> Connection;
    QSet<QByteArray> Prepared;
};

#include "PgConnection.h"

#include "DatabaseAddress.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <libpq-fe.h>

#include <algorithm>
#include <vector>

namespace {

// How often a wait looks at the stop request: well inside the 50 ms a stop
// may take.
constexpr int kStopPollMs = 20;

// libpq's messages end in a newline and may run over several lines
// ("connection to server ... failed: Connection refused\n\tIs the server
// running ...?"): one line for a status text.
QString oneLine(const char* message) {
    return QString::fromUtf8(message).simplified();
}

// libpq gives up waiting after connect_timeout seconds, treating values
// below 2 as 2 and 0 as no limit; in asynchronous use the caller applies it.
QDeadlineTimer connectDeadline(PGconn* connection, std::chrono::milliseconds fallback) {
    std::optional<int> seconds;
    if (PQconninfoOption* options = PQconninfo(connection)) {
        for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option)
            if (qstrcmp(option->keyword, "connect_timeout") == 0 && option->val != nullptr && *option->val)
                seconds = QByteArray(option->val).toInt();
        PQconninfoFree(options);
    }
    if (!seconds)
        return QDeadlineTimer(fallback);
    if (*seconds <= 0)
        return QDeadlineTimer(QDeadlineTimer::Forever);
    return QDeadlineTimer(std::chrono::seconds(std::max(*seconds, 2)));
}

// libpq may quote the address it could not read, password and all: the
// message shows it as the operator may see it, and the password nowhere.
QString withoutPassword(QString message, const QString& uri) {
    message.replace(uri, redactedDatabaseAddress(uri));
    char* parseError = nullptr;
    if (PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &parseError)) {
        for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option)
            if ((qstrcmp(option->keyword, "password") == 0 || qstrcmp(option->keyword, "sslpassword") == 0) &&
                option->val != nullptr && *option->val)
                message.replace(QString::fromUtf8(option->val), QStringLiteral("****"));
        PQconninfoFree(options);
    }
    PQfreemem(parseError);
    return message;
}

} // namespace

QString PgResult::textAt(qsizetype row, qsizetype column) const {
    return QString::fromUtf8(rows.value(row).value(column).value_or(QByteArray()));
}

qint64 PgResult::numberAt(qsizetype row, qsizetype column) const {
    return rows.value(row).value(column).value_or(QByteArray()).toLongLong();
}

QByteArray PgResult::bytesAt(qsizetype row, qsizetype column) const {
    // bytea in text form: "\x" and two hex digits a byte.
    const QByteArray text = rows.value(row).value(column).value_or(QByteArray());
    return text.startsWith("\\x") ? QByteArray::fromHex(text.mid(2)) : text;
}

bool PgResult::isNull(qsizetype row, qsizetype column) const {
    return !rows.value(row).value(column).has_value();
}

void PgConnection::Finish::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

PgConnection::PgConnection() = default;
PgConnection::~PgConnection() = default;

bool PgConnection::isOpen() const {
    return Connection && PQstatus(Connection.get()) == CONNECTION_OK;
}

void PgConnection::close() {
    Connection.reset();
    Prepared.clear();
}

QString PgConnection::connectionError() const {
    return Connection ? oneLine(PQerrorMessage(Connection.get())) : QStringLiteral("not connected");
}

PgResult PgConnection::lost(PgResult::Ended ended, const QString& why) {
    close();
    PgResult result;
    result.ended = ended;
    result.error = why;
    return result;
}

PgConnection::Waited PgConnection::waitForSocket(bool forWriting, const QDeadlineTimer& deadline,
                                                 const StopRequested& stop) {
    if (stop && stop())
        return Waited::Stopped;
    if (deadline.hasExpired())
        return Waited::TimedOut;
    const int socket = PQsocket(Connection.get());
    if (socket < 0)
        return Waited::Ready; // the next libpq call reports why
    QEventLoop loop;
    Waited waited = Waited::Ready;
    QSocketNotifier notifier(socket, forWriting ? QSocketNotifier::Write : QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] { loop.quit(); });
    QTimer timeLimit;
    timeLimit.setSingleShot(true);
    QObject::connect(&timeLimit, &QTimer::timeout, &loop, [&] {
        waited = Waited::TimedOut;
        loop.quit();
    });
    if (!deadline.isForever())
        timeLimit.start(
            static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, qint64{24} * 3600 * 1000)));
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
        if (stop()) {
            waited = Waited::Stopped;
            loop.quit();
        }
    });
    if (stop)
        stopPoll.start(kStopPollMs);
    loop.exec();
    return waited;
}

PgResult PgConnection::open(const QString& uri, std::chrono::milliseconds timeout,
                            const StopRequested& stop) {
    PgResult opened = connectTo(uri, timeout, stop);
    if (!opened.ok())
        opened.error = withoutPassword(opened.error, uri);
    return opened;
}

PgResult PgConnection::connectTo(const QString& uri, std::chrono::milliseconds timeout,
                                 const StopRequested& stop) {
    close();
    const QByteArray dbname = uri.toUtf8();
    const char* const keywords[] = {"dbname", "fallback_application_name", nullptr};
    const char* const values[] = {dbname.constData(), "merlax-bootloader", nullptr};
    Connection.reset(PQconnectStartParams(keywords, values, 1));
    if (!Connection)
        return lost(PgResult::Ended::ConnectionLost, QStringLiteral("out of memory"));
    if (PQstatus(Connection.get()) == CONNECTION_BAD)
        return lost(PgResult::Ended::ConnectionLost, connectionError());

    const QDeadlineTimer deadline = connectDeadline(Connection.get(), timeout);
    PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
    while (polling != PGRES_POLLING_OK) {
        if (polling == PGRES_POLLING_FAILED)
            return lost(PgResult::Ended::ConnectionLost, connectionError());
        switch (waitForSocket(polling == PGRES_POLLING_WRITING, deadline, stop)) {
        case Waited::TimedOut:
            return lost(PgResult::Ended::TimedOut, QStringLiteral("the server did not answer in time"));
        case Waited::Stopped:
            return lost(PgResult::Ended::Stopped, QStringLiteral("stopped while connecting"));
        case Waited::Ready:
            break;
        }
        polling = PQconnectPoll(Connection.get());
    }
    if (PQsetnonblocking(Connection.get(), 1) != 0)
        return lost(PgResult::Ended::ConnectionLost, connectionError());
    return {};
}

PgResult PgConnection::sendAndCollect(const std::function<int()>& send, const QDeadlineTimer& deadline,
                                      const StopRequested& stop) {
    if (!isOpen())
        return lost(PgResult::Ended::ConnectionLost, connectionError());
    if (send() == 0)
        return lost(PgResult::Ended::ConnectionLost, connectionError());
    const auto waitOrGiveUp = [&](bool forWriting) -> std::optional<PgResult> {
        switch (waitForSocket(forWriting, deadline, stop)) {
        case Waited::TimedOut:
            return lost(PgResult::Ended::TimedOut, QStringLiteral("the server did not answer in time"));
        case Waited::Stopped:
            return lost(PgResult::Ended::Stopped, QStringLiteral("stopped while waiting for the server"));
        case Waited::Ready:
            break;
        }
        return std::nullopt;
    };

    for (int flushed = PQflush(Connection.get()); flushed != 0; flushed = PQflush(Connection.get())) {
        if (flushed < 0)
            return lost(PgResult::Ended::ConnectionLost, connectionError());
        if (auto gaveUp = waitOrGiveUp(true))
            return *gaveUp;
    }

    PgResult result;
    for (;;) {
        while (PQisBusy(Connection.get()) == 0) {
            PGresult* answer = PQgetResult(Connection.get());
            if (answer == nullptr) {
                if (!result.ok() && PQstatus(Connection.get()) == CONNECTION_BAD)
                    return lost(PgResult::Ended::ConnectionLost, result.error);
                return result;
            }
            const ExecStatusType status = PQresultStatus(answer);
            if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
                for (int row = 0; row < PQntuples(answer); ++row) {
                    QList<std::optional<QByteArray>> values;
                    for (int column = 0; column < PQnfields(answer); ++column)
                        values << (PQgetisnull(answer, row, column) != 0
                                       ? std::nullopt
                                       : std::optional(QByteArray(PQgetvalue(answer, row, column),
                                                                  PQgetlength(answer, row, column))));
                    result.rows << values;
                }
                result.affected = QByteArray(PQcmdTuples(answer)).toLongLong();
            } else if (result.ok()) {
                result.ended = PgResult::Ended::Failed;
                result.error = oneLine(PQresultErrorMessage(answer));
                result.sqlState = PQresultErrorField(answer, PG_DIAG_SQLSTATE);
            }
            PQclear(answer);
        }
        if (auto gaveUp = waitOrGiveUp(false))
            return *gaveUp;
        if (PQconsumeInput(Connection.get()) == 0)
            return lost(PgResult::Ended::ConnectionLost, connectionError());
    }
}

PgResult PgConnection::exec(const char* name, const char* sql, const QList<PgValue>& values,
                            std::chrono::milliseconds timeout, const StopRequested& stop) {
    const QDeadlineTimer deadline(timeout);
    std::vector<const char*> data;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const PgValue& value : values) {
        data.push_back(value.bytes ? value.bytes->constData() : nullptr);
        lengths.push_back(value.bytes ? static_cast<int>(value.bytes->size()) : 0);
        formats.push_back(value.binary ? 1 : 0);
    }
    const int count = static_cast<int>(values.size());
    if (*name == '\0')
        return sendAndCollect(
            [&] {
                return PQsendQueryParams(Connection.get(), sql, count, nullptr, data.data(), lengths.data(),
                                         formats.data(), 0);
            },
            deadline, stop);
    if (!Prepared.contains(name)) {
        PgResult prepared = sendAndCollect(
            [&] { return PQsendPrepare(Connection.get(), name, sql, count, nullptr); }, deadline, stop);
        if (!prepared.ok())
            return prepared;
        Prepared.insert(name);
    }
    return sendAndCollect(
        [&] {
            return PQsendQueryPrepared(Connection.get(), name, count, data.data(), lengths.data(),
                                       formats.data(), 0);
        },
        deadline, stop);
}

QString PgConnection::quotedIdentifier(const QString& identifier) const {
    if (!Connection)
        return {};
    const QByteArray utf8 = identifier.toUtf8();
    char* quoted = PQescapeIdentifier(Connection.get(), utf8.constData(), static_cast<size_t>(utf8.size()));
    if (quoted == nullptr)
        return {};
    QString result = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return result;
}

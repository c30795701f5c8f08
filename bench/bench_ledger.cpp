// merlax-bench-ledger: the serial allocator alone. N stations without a
// module (merlax-ledger-station, one process each) take serial numbers from
// one range and log them, reserve and confirm each a durable write; the
// figure is units logged per second by all of them together, from the first
// unit's turn to the last unit's confirm.
//
//   merlax-bench-ledger [--clients 64] [--units 50] [--no-turns] [--db ADDRESS]
//
// Without --db it starts a throw-away PostgreSQL server (fsync on, as a real
// one) and a range in it. With --db it uses that address: a postgresql:// URI
// whose tables and range "bench" exist, or a .ser file's path.
// With --no-turns each station only reserves and confirms, as the allocator's
// own cost; by default it also reads the ledger before each unit, as a
// station does.
// Prints: case=ledger ledger=database turns=yes clients=64 units=3200 seconds=... units-per-second=...

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The throw-away server, stopped and removed when the benchmark ends.
class Server {
public:
    explicit Server(QString state) : State(std::move(state)) {}
    ~Server() { run(QStringLiteral(MERLAX_PG_SCRIPT), {QStringLiteral("teardown"), State}); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    QString start() {
        if (!run(QStringLiteral(MERLAX_PG_SCRIPT),
                 {QStringLiteral("setup"), State, QStringLiteral("--durable")}))
            return {};
        QFile uri(State + QStringLiteral("/uri"));
        if (!uri.open(QIODevice::ReadOnly))
            return {};
        QString address = QString::fromUtf8(uri.readAll()).trimmed();
        if (!run(QStringLiteral(MERLAX_CLI),
                 {"db-init", "--db", address, "--range", "bench", "--block", "90,1,10,0,0,0,0,0"}))
            return {};
        return address;
    }

private:
    QString State;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({
        {"clients", "Stations at once.", "N", "64"},
        {"units", "Units each station logs.", "N", "50"},
        {"no-turns", "Reserve and confirm only: no turn (a read of the ledger) before each unit."},
        {"db", "The ledger: a postgresql:// URI with a range \"bench\", or a .ser file.", "ADDRESS"},
    });
    parser.process(app);
    const int clients = parser.value("clients").toInt();
    const int units = parser.value("units").toInt();

    QTemporaryDir scratch;
    std::unique_ptr<Server> server;
    QString address = parser.value("db");
    if (address.isEmpty()) {
        server = std::make_unique<Server>(scratch.filePath(QStringLiteral("server")));
        address = server->start();
        if (address.isEmpty()) {
            std::fputs("the PostgreSQL server did not start\n", stderr);
            return 1;
        }
    }
    const bool database = address.startsWith(QLatin1String("postgres"));

    // Starting a process takes a while on a small machine: all start together
    // once every one has had time to connect.
    const qint64 startAt = QDateTime::currentMSecsSinceEpoch() + 1000 + qint64{100} * clients;
    QStringList options{"--units",    QString::number(units),  "--quiet", "--give-up-after", "600",
                        "--start-at", QString::number(startAt)};
    if (parser.isSet("no-turns"))
        options << "--no-turns";
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int i = 0; i < clients; ++i) {
        stations.push_back(std::make_unique<QProcess>());
        stations.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        stations.back()->start(QStringLiteral(MERLAX_STATION),
                               QStringList{"--db", address, "--range", "bench"} + options);
    }
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = 0;
    int logged = 0;
    for (auto& station : stations) {
        station->waitForFinished(-1);
        const QStringList summary = QString::fromUtf8(station->readAllStandardOutput()).trimmed().split(' ');
        for (const QString& pair : summary) {
            const qint64 value = pair.section('=', 1).toLongLong();
            if (pair.startsWith(QLatin1String("units=")))
                logged += static_cast<int>(value);
            else if (pair.startsWith(QLatin1String("first-ms=")) && value > 0)
                first = std::min(first, value);
            else if (pair.startsWith(QLatin1String("last-ms=")))
                last = std::max(last, value);
        }
    }
    const double seconds = static_cast<double>(std::max<qint64>(last - first, 1)) / 1000.0;
    std::printf("case=ledger ledger=%s turns=%s clients=%d units=%d seconds=%.2f units-per-second=%.0f\n",
                database ? "database" : "file", parser.isSet("no-turns") ? "no" : "yes", clients, logged,
                seconds, logged / seconds);
    return logged == clients * units ? 0 : 1;
}

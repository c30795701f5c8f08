#include "DatabaseCommands.h"

#include "DatabaseAddress.h"
#include "DurableFiles.h"
#include "ExitCodes.h"
#include "Interrupts.h"
#include "OperationResult.h"
#include "PgConnection.h"
#include "PgLedger.h"
#include "PgRangeSetup.h"
#include "PgSchema.h"
#include "ResultJson.h"

#include <CLI/CLI.hpp>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>
#include <sstream>

namespace {

constexpr std::chrono::seconds kConnectTimeout{10};
// Creating the tables or importing a whole range may take a while.
constexpr std::chrono::seconds kStatementTimeout{120};

const char* const kCommands[] = {"db-init", "export-serials", "import-serials"};

struct DatabaseRequest {
    std::string command;
    std::string uri;
    std::string range;
    std::string file;
    std::string grantRole;
    bool json = false;
    PgRangeSetup::NewRange newRange;
    bool rangeBoundsGiven = false;
};

// The command's name when the command line names one of ours: the first
// argument that is not an option (or the value of --port).
const char* commandIn(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--port") {
            ++i;
            continue;
        }
        if (argument.rfind("--", 0) == 0)
            continue;
        for (const char* command : kCommands)
            if (argument == command)
                return command;
        return nullptr;
    }
    return nullptr;
}

// A whole number as an operator writes it, as for the other commands:
// decimal (leading zeros stay decimal), or hex after "0x" or "$".
std::optional<long> wholeNumber(std::string text) {
    int base = 10;
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
        text.erase(0, 2);
        base = 16;
    } else if (text.rfind('$', 0) == 0) {
        text.erase(0, 1);
        base = 16;
    }
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used, base);
        if (used == text.size())
            return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

CLI::Validator wholeIn(long low, long high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            if (const std::optional<long> value = wholeNumber(text); value && *value >= low && *value <= high)
                return {};
            return "'" + text + "' is not a whole number in " + std::to_string(low) + ".." +
                   std::to_string(high);
        },
        "INT");
}

std::optional<IdBlock> blockFrom(const std::string& text) {
    IdBlock block{};
    std::stringstream in(text);
    std::string item;
    size_t n = 0;
    while (std::getline(in, item, ',')) {
        const std::optional<long> value = wholeNumber(item);
        if (n == block.size() || !value || *value > 255)
            return std::nullopt;
        block[n++] = static_cast<qint16>(*value);
    }
    return n == block.size() ? std::optional(block) : std::nullopt;
}

class DatabaseRun {
public:
    explicit DatabaseRun(const DatabaseRequest& request)
        : Request(request), Uri(QString::fromStdString(request.uri)),
          Range(QString::fromStdString(request.range)) {
        Started = QDateTime::currentDateTime();
        Clock.start();
        Stop = [this] { return Signals.happened(); };
    }

    int run() {
        OperationResult result = connect();
        if (result.succeeded()) {
            if (Request.command == "db-init")
                result = initialise();
            else if (Request.command == "export-serials")
                result = exportSerials();
            else
                result = importSerials();
        }
        if (result.file.isEmpty())
            result.file = redactedDatabaseAddress(Uri);
        return report(result);
    }

private:
    OperationResult failed(Outcome outcome, const QString& text) const {
        OperationResult result(outcome);
        result.status = text;
        return result;
    }

    OperationResult fromAnswer(const PgSchema::Answer& answer, Outcome failure = Outcome::FileError) const {
        if (answer.ok)
            return failed(Outcome::Succeeded, answer.text);
        OperationResult result = failed(Signals.happened() ? Outcome::Abandoned : failure, answer.text);
        result.critical = PgLedger::messageTitle() + QStringLiteral(": ") + answer.text;
        return result;
    }

    OperationResult connect() {
        if (!isDatabaseAddress(Uri))
            return failed(
                Outcome::BadInput,
                QStringLiteral("--db needs a postgresql:// address: %1").arg(redactedDatabaseAddress(Uri)));
        const PgResult opened = Connection.open(Uri, kConnectTimeout, Stop);
        if (opened.ok())
            return {};
        return fromAnswer({false, QStringLiteral("Error opening serial database %1: %2")
                                      .arg(redactedDatabaseAddress(Uri), opened.error)});
    }

    OperationResult initialise() {
        PgSchema::Answer answer = PgSchema::initialise(Connection, kStatementTimeout, Stop);
        QStringList done{answer.text};
        if (answer.ok && !Request.grantRole.empty()) {
            answer = PgSchema::grantStation(Connection, QString::fromStdString(Request.grantRole),
                                            kStatementTimeout, Stop);
            done << answer.text;
        }
        if (answer.ok && !Range.isEmpty()) {
            PgRangeSetup::NewRange range = Request.newRange;
            range.name = Range;
            answer = PgRangeSetup::create(Connection, range, kStatementTimeout, Stop);
            done << answer.text;
        }
        answer.text = done.join(QLatin1Char(' '));
        return fromAnswer(answer);
    }

    OperationResult exportSerials() {
        PgLedger ledger(Uri, Range);
        const LedgerView view = ledger.open(Stop);
        if (!view.succeeded())
            return fromAnswer({false, view.error});
        QString error;
        const std::optional<QByteArray> records = ledger.exportLogged(&error);
        if (!records)
            return fromAnswer(
                {false, QStringLiteral("Error reading serial database %1: %2").arg(ledger.name(), error)});
        const QString path = QString::fromStdString(Request.file);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(*records) != records->size() || !file.commit()) {
            OperationResult result = failed(
                Outcome::FileError, QStringLiteral("Error writing %1: %2").arg(path, file.errorString()));
            result.critical = QStringLiteral("File Write: ") + result.status;
            return result;
        }
        syncDirectoryOf(path);
        OperationResult result =
            failed(Outcome::Succeeded, QStringLiteral("%1 units of range %2 exported to %3.")
                                           .arg(records->size() / 100)
                                           .arg(Range, path));
        result.file = path;
        return result;
    }

    OperationResult importSerials() {
        const QString path = QString::fromStdString(Request.file);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            OperationResult result =
                failed(Outcome::FileError,
                       QStringLiteral("Error reading Serial Number Database file: ") + file.errorString());
            result.critical = QStringLiteral("File Open: ") + result.status;
            return result;
        }
        const QByteArray bytes = file.readAll();
        if (const QString schema = PgSchema::check(Connection, kStatementTimeout, Stop); !schema.isEmpty())
            return fromAnswer({false, schema});
        const PgSchema::Answer answer =
            PgRangeSetup::importFile(Connection, Range, bytes, kStatementTimeout, Stop);
        // A range with units already, or a log that cannot be imported as it
        // stands, is the rules' refusal; nothing was written.
        return fromAnswer(answer, Connection.isOpen() ? Outcome::RuleRefused : Outcome::FileError);
    }

    int report(const OperationResult& result) const {
        const QString operation = QString::fromStdString(Request.command);
        if (!result.status.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(result.status));
        if (Request.json) {
            std::printf("%s\n", QJsonDocument(resultJson(operation, result, Started, Clock.elapsed()))
                                    .toJson(QJsonDocument::Compact)
                                    .constData());
        } else {
            std::printf("%s %s: %s (%s)\n", qPrintable(operation), outcomeName(result.outcome),
                        qPrintable(result.status), qPrintable(result.file));
        }
        return ExitCode::forOutcome(result.outcome);
    }

    const DatabaseRequest& Request;
    QString Uri;
    QString Range;
    Interrupts Signals;
    PgConnection::StopRequested Stop;
    PgConnection Connection;
    QDateTime Started;
    QElapsedTimer Clock;
};

} // namespace

std::optional<int> runDatabaseCommand(int argc, char** argv) {
    const char* command = commandIn(argc, argv);
    if (command == nullptr)
        return std::nullopt;

    CLI::App app{"Serial ranges in a PostgreSQL database", "merlax-bootloader-cli"};
    app.require_subcommand(1);
    app.fallthrough();
    DatabaseRequest request;
    std::string port, block, first, last, memo;
    app.add_option("--port", port, "Not used by the database commands");
    app.add_flag("--json", request.json, "One JSON object per result on standard output");
    const auto withDatabase = [&](CLI::App* sub) {
        sub->add_option(
               "--db", request.uri,
               "The database: postgresql://[user@]host[:port]/database[?sslmode=...&connect_timeout=...]")
            ->required();
        sub->callback([&request, sub] { request.command = sub->get_name(); });
    };

    CLI::App* init =
        app.add_subcommand("db-init", "Create or upgrade the serial tables; optionally grant a station "
                                      "role its rights and create a range");
    withDatabase(init);
    init->add_option("--grant-station", request.grantRole, "Give this role the rights a station needs");
    init->add_option("--range", request.range, "Create this range unless it exists");
    init->add_option("--first", first, "The range's lowest serial number (default 1)")
        ->check(wholeIn(1, 65535));
    init->add_option("--last", last, "The range's highest serial number (default 65535)")
        ->check(wholeIn(1, 65535));
    init->add_option("--block", block, "The ID block its units start from: Init,Sys,Sub,SerL,SerH,#1,#2,#3")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return blockFrom(text) ? std::string() : "'" + text + "' is not eight values 0..255";
            },
            "BYTES"));
    init->add_option("--memo", memo, "The memo its units start with");

    CLI::App* exportCommand = app.add_subcommand(
        "export-serials", "Write a range's logged units, in the order they were logged, as a .ser");
    withDatabase(exportCommand);
    exportCommand->add_option("--range", request.range, "The serial range")->required();
    exportCommand->add_option("OUT", request.file, "The .ser file to write")->required();

    CLI::App* importCommand = app.add_subcommand(
        "import-serials", "Start a range from an existing .ser log (refused onto a range with units)");
    withDatabase(importCommand);
    importCommand->add_option("--range", request.range, "The serial range")->required();
    importCommand->add_option("IN", request.file, "The .ser file to read")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs((app.get_subcommands().empty() ? &app : app.get_subcommands().front())->help().c_str(),
                   stdout);
        return ExitCode::kSucceeded;
    } catch (const CLI::ParseError& error) {
        std::ostringstream out, err;
        app.exit(error, out, err);
        std::fputs((err.str() + out.str()).c_str(), stderr);
        return ExitCode::kUsage;
    }
    if (!first.empty())
        request.newRange.lowest = static_cast<qint32>(*wholeNumber(first));
    if (!last.empty())
        request.newRange.highest = static_cast<qint32>(*wholeNumber(last));
    if (request.newRange.lowest > request.newRange.highest) {
        std::fputs("--first must not be above --last\n", stderr);
        return ExitCode::kUsage;
    }
    request.newRange.memo = QString::fromStdString(memo);
    if (const std::optional<IdBlock> parsed = blockFrom(block))
        request.newRange.block = *parsed;

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("merlax-bootloader-cli"));
    return DatabaseRun(request).run();
}

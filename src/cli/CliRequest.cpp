#include "CliRequest.h"

#include "CapturePresets.h"
#include "ExitCodes.h"
#include "OperatorNumber.h"
#include "PortMap.h"
#include "SpentSerials.h"

#include <CLI/CLI.hpp>

#include <sstream>

namespace {

using Command = CliRequest::Command;

std::optional<long> wholeNumber(const std::string& text) {
    return OperatorNumber::scriptNumber(QString::fromStdString(text));
}

// A validator for one whole number in [low, high].
CLI::Validator wholeIn(long low, long high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            const std::optional<long> value = wholeNumber(text);
            if (!value)
                return "'" + text + "' is not a whole number";
            if (*value < low || *value > high)
                return "'" + text + "' is outside " + std::to_string(low) + ".." + std::to_string(high);
            return {};
        },
        "INT in [" + std::to_string(low) + " - " + std::to_string(high) + "]");
}

// "A,B,C": exactly `count` whole numbers in [low, high].
template <size_t Count> std::optional<std::array<int, Count>> numberList(const std::string& text) {
    std::array<int, Count> values{};
    std::stringstream in(text);
    std::string item;
    size_t n = 0;
    while (std::getline(in, item, ',')) {
        const std::optional<long> value = wholeNumber(item);
        if (n == Count || !value || *value < IdBlockField::kLowest || *value > IdBlockField::kHighest)
            return std::nullopt;
        values[n++] = static_cast<int>(*value);
    }
    return n == Count ? std::optional(values) : std::nullopt;
}

template <size_t Count> CLI::Validator byteList(const char* what) {
    return CLI::Validator(
        [what](std::string& text) -> std::string {
            if (!numberList<Count>(text))
                return "'" + text + "' is not " + what;
            return {};
        },
        std::string(what));
}

int presetByName(const std::string& name) {
    for (size_t i = 0; i < kCapturePresets.size(); ++i)
        if (*kCapturePresets[i].caption != '\0' &&
            QString::fromLatin1(kCapturePresets[i].caption)
                    .compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

std::string presetNames() {
    std::string names;
    for (const CapturePreset& preset : kCapturePresets)
        if (*preset.caption != '\0')
            names += (names.empty() ? "" : ", ") + std::string("\"") + preset.caption + "\"";
    return names;
}

} // namespace

const char* commandName(Command command) {
    switch (command) {
    case Command::Identify:
        return "identify";
    case Command::Erase:
        return "erase";
    case Command::Wipe:
        return "wipe";
    case Command::Restore:
        return "restore";
    case Command::Reboot:
        return "reboot";
    case Command::EnterBootloader:
        return "enter-bootloader";
    case Command::Program:
        return "program";
    case Command::Capture:
        return "capture";
    case Command::WriteSerial:
        return "write-serial";
    case Command::LogSerial:
        return "log-serial";
    case Command::Recover:
        return "recover";
    case Command::Ports:
        return "ports";
    case Command::Ledger:
        return "ledger";
    case Command::DbInit:
        return "db-init";
    case Command::ExportSerials:
        return "export-serials";
    case Command::ImportSerials:
        return "import-serials";
    }
    return "";
}

bool CliRequest::needsPort() const {
    switch (command) {
    case Command::Ports:
    case Command::Ledger:
    case Command::DbInit:
    case Command::ExportSerials:
    case Command::ImportSerials:
        return false;
    default:
        return true;
    }
}

CliParse parseCommandLine(int argc, const char* const* argv) {
    CLI::App app{"Programs, identifies and provisions MERLAX modules over a serial line, from scripts and "
                 "production stations.",
                 "merlax-bootloader-cli"};
    app.require_subcommand(1);
    app.fallthrough();
    app.footer(std::string("\n") + ExitCode::kTable +
               "\nStatus texts go to standard error, one per line; --json puts one JSON object per result on "
               "standard output.\nSee merlax-bootloader-cli(1) and the user guide for the JSON fields.");

    CliRequest request;
    std::string port = "10";
    app.add_option("--port", port,
                   "The module's port: a number 1..18 (COM10 is the first USB adapter, /dev/ttyUSB0; "
                   "MERLAX_COM<n> overrides a number's device) or a device path")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                const std::variant<int, QString> port = parsePortRef(QString::fromStdString(text));
                if (const int* n = std::get_if<int>(&port); n && !PortMap::validPort(*n))
                    return "a port number must be 1..18 (or give a device path)";
                return {};
            },
            "PORT"));
    app.add_flag("--json", request.json, "One JSON object per result on standard output");
    std::string recoveryUrl;
    app.add_option("--recovery-url", recoveryUrl,
                   "The serial recovery server's address (else the setting, else the one built in)");

    std::string text, pages = "120", preset, header, block, maxSerial = "0", nextSerial, lockTimeout = "30";
    std::string database, range, memo, programFile, code, grantRole, first, last;
    const auto simple = [&](const char* name, Command command, const char* what) {
        CLI::App* sub = app.add_subcommand(name, what);
        sub->callback([&request, command] { request.command = command; });
        return sub;
    };
    const auto repeatable = [&](CLI::App* sub) {
        sub->add_flag("--repeat", request.repeat,
                      "A station: wait for a module, run, wait until it is taken out, go on with the next, "
                      "until interrupted; a summary at the end");
    };

    repeatable(simple("identify", Command::Identify, "Read the module's identity (\"Connect to Target\")"));
    simple("erase", Command::Erase, "Erase the module's program memory");
    simple("wipe", Command::Wipe, "Wipe the module");
    simple("restore", Command::Restore, "Restore the serial number from the module's own backup");
    simple("reboot", Command::Reboot, "Restart the module, leaving the bootloader");
    simple("enter-bootloader", Command::EnterBootloader,
           "Ask the module's running application to restart into the bootloader")
        ->add_flag("--switch-baud", request.switchBaud,
                   "Send the request at 38400 baud (the application's speed)");

    CLI::App* program = simple("program", Command::Program, "Program a firmware file (\"Program Firmware\")");
    program->add_option("FILE", text, "The .fw file")->required();
    program->add_flag("--ignore-target-check", request.ignoreTargetCheck,
                      "Program a file that is not for this module");
    repeatable(program);

    CLI::App* capture = simple("capture", Command::Capture, "Capture a master module's encrypted firmware");
    capture
        ->add_option("FILE", text,
                     "The .fw file to write (\".fw\" is added only when the whole path holds no \".\", "
                     "a folder's name included)")
        ->required();
    capture
        ->add_option("--pages", pages,
                     "Pages to capture (8K=32, 16K=64, 32K=128, 64K=256); default: the "
                     "preset's, else 120")
        ->check(wholeIn(CaptureSettings::kLowestPages, CaptureSettings::kHighestPages));
    CLI::Option* headerOption =
        capture->add_option("--header", header, "The header: SYS,ID,SERL,SERH,MASK,#1, each 0..255")
            ->check(byteList<6>("six values 0..255: SYS,ID,SERL,SERH,MASK,#1"));
    CLI::Option* presetOption =
        capture->add_option("--preset", preset, "A Quick Set preset: " + presetNames())
            ->check(CLI::Validator(
                [](std::string& name) -> std::string {
                    return presetByName(name) < 0 ? "no such preset: '" + name + "'" : std::string();
                },
                "NAME"));
    headerOption->excludes(presetOption);
    capture->add_option("--max-serial", maxSerial, "The highest serial number, for the \"Solvane\" preset")
        ->check(wholeIn(0, CaptureSettings::kHighestMaxSerial));

    CLI::App* write = simple("write-serial", Command::WriteSerial, "Write an ID block (\"Prog Only\")");
    write->add_option("--block", block, "The ID block: Init,Sys,Sub,SerL,SerH,#1,#2,#3, each 0..255")
        ->required()
        ->check(byteList<8>("eight values 0..255: Init,Sys,Sub,SerL,SerH,#1,#2,#3"));

    CLI::App* log = simple("log-serial", Command::LogSerial,
                           "Give the module the next serial number and log it (\"Program and Log\"); with "
                           "--program also its firmware (\" Prog, Log, Write FW\")");
    const auto withLog = [&](CLI::App* sub, const char* what) {
        sub->add_option("--db", database, what)->required();
        sub->add_option("--range", range, "The serial range, when --db is a database");
    };
    withLog(log, "The serial log shared with other stations: a .ser file, or a database "
                 "(postgresql://[user@]host[:port]/database[?sslmode=...&connect_timeout=...]) with --range");
    CLI::Option* memoOption =
        log->add_option("--memo", memo, "The memo for the records (default: the last record's)");
    log->add_option("--program", programFile, "Then program this firmware file");
    log->add_flag("--ignore-target-check", request.ignoreTargetCheck,
                  "With --program: program a file that is not for this module");
    log->add_option("--block", block,
                    "The ID block bytes to write instead of the last record's (SerL and SerH come from the "
                    "serial number)")
        ->check(byteList<8>("eight values 0..255: Init,Sys,Sub,SerL,SerH,#1,#2,#3"));
    log->add_option("--next-serial", nextSerial,
                    "The serial number to start an empty log from, or to go on from when the log's last "
                    "record gives none; taken once, when the log is opened, and refused when it has been "
                    "given")
        ->check(wholeIn(SpentSerials::kLowest, SpentSerials::kHighest));
    log->add_option("--lock-timeout", lockTimeout, "Seconds to wait for the log held by another station")
        ->check(wholeIn(0, 86400));
    repeatable(log);

    CLI::App* recover =
        simple("recover", Command::Recover,
               "Fetch a unit's ID block from the recovery server (or from a serial log) and write it");
    recover->add_option("CODE", code, "The unit's six-character serial text")->required();
    recover->add_option("--db", database, "Look the unit up in this serial log (.ser or database) instead");
    recover->add_option("--range", range, "The serial range, when --db is a database");
    simple("ports", Command::Ports, "List the port numbers, their devices and whether they open");
    withLog(
        simple("ledger", Command::Ledger,
               "List the serial numbers of a log that are reserved but not logged (their modules may hold "
               "them)"),
        "The serial log: a .ser file, or a database with --range");

    CLI::App* init =
        simple("db-init", Command::DbInit,
               "Create or upgrade a database's serial tables; optionally grant a station role its "
               "rights and create a range");
    init->add_option("--db", database, "The database: postgresql://...")->required();
    init->add_option("--grant-station", grantRole, "Give this role the rights a station needs");
    init->add_option("--range", range, "Create this range unless it exists");
    init->add_option("--first", first, "The range's lowest serial number (default 1)")
        ->check(wholeIn(SpentSerials::kLowest, SpentSerials::kHighest));
    init->add_option("--last", last, "The range's highest serial number (default 65535)")
        ->check(wholeIn(SpentSerials::kLowest, SpentSerials::kHighest));
    CLI::Option* initBlock =
        init->add_option("--block", block,
                         "The ID block its units start from: Init,Sys,Sub,SerL,SerH,#1,#2,#3")
            ->check(byteList<8>("eight values 0..255: Init,Sys,Sub,SerL,SerH,#1,#2,#3"));
    CLI::Option* initMemo = init->add_option("--memo", memo, "The memo its units start with");
    CLI::App* exportCommand =
        simple("export-serials", Command::ExportSerials,
               "Write a serial log's logged units, in the order they were logged, as a .ser");
    withLog(exportCommand, "The serial log: a database with --range (or a .ser file)");
    exportCommand->add_option("OUT", text, "The .ser file to write")->required();
    CLI::App* importCommand =
        simple("import-serials", Command::ImportSerials,
               "Start a database range from an existing .ser log (refused onto a range with "
               "units)");
    withLog(importCommand, "The database: postgresql://... with --range");
    importCommand->add_option("IN", text, "The .ser file to read")->required();

    CliParse result;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        result.message = QString::fromStdString(
            (app.get_subcommands().empty() ? &app : app.get_subcommands().front())->help());
        result.exitCode = ExitCode::kSucceeded;
        return result;
    } catch (const CLI::ParseError& error) {
        std::ostringstream out, err;
        app.exit(error, out, err);
        result.message = QString::fromStdString(err.str() + out.str());
        result.toStandardError = true;
        result.exitCode = ExitCode::kUsage;
        return result;
    }

    request.port = parsePortRef(QString::fromStdString(port));
    request.recoveryUrl = QString::fromStdString(recoveryUrl);
    request.file = QString::fromStdString(text);
    request.log = {QString::fromStdString(database), QString::fromStdString(range)};
    request.programFile = QString::fromStdString(programFile);
    request.code = QString::fromStdString(code);
    if (memoOption->count() > 0)
        request.memo = QString::fromStdString(memo);
    if (const auto bytes = numberList<8>(block)) {
        IdBlock id{};
        std::copy(bytes->begin(), bytes->end(), id.begin());
        request.block = id;
    }
    if (!nextSerial.empty())
        request.nextSerial = static_cast<qint32>(*wholeNumber(nextSerial));
    request.lockTimeout = std::chrono::seconds(*wholeNumber(lockTimeout));
    const auto usage = [&result](const QString& problem) {
        result.message = problem + QLatin1Char('\n');
        result.toStandardError = true;
        result.exitCode = ExitCode::kUsage;
        return result;
    };

    switch (request.command) {
    case Command::Capture: {
        // The same checks as the window's entries; the validators above have
        // already refused what they would refuse.
        CaptureSettings& settings = request.capture;
        settings.chooseFile(request.file);
        if (!preset.empty())
            settings.quickSet(presetByName(preset), static_cast<double>(*wholeNumber(maxSerial)));
        if (const auto values = numberList<6>(header))
            for (int i = 0; i < CaptureSettings::kHeaderBytes; ++i)
                settings.enterHeaderByte(i, (*values)[static_cast<size_t>(i)]);
        if (capture->count("--pages") > 0 || preset.empty())
            settings.enterPages(static_cast<double>(*wholeNumber(pages)));
        break;
    }
    case Command::DbInit:
        request.grantRole = QString::fromStdString(grantRole);
        if (!range.empty()) {
            PgRangeSetup::NewRange newRange;
            newRange.name = request.log.range;
            if (!first.empty())
                newRange.lowest = static_cast<qint32>(*wholeNumber(first));
            if (!last.empty())
                newRange.highest = static_cast<qint32>(*wholeNumber(last));
            if (newRange.lowest > newRange.highest)
                return usage(QStringLiteral("--first must not be above --last"));
            if (request.block)
                newRange.block = *request.block;
            newRange.memo = QString::fromStdString(memo);
            request.newRange = newRange;
        } else if (!first.empty() || !last.empty() || initBlock->count() > 0 || initMemo->count() > 0) {
            return usage(
                QStringLiteral("--first, --last, --block and --memo describe the range given with --range"));
        }
        request.log.range.clear(); // the range is created, not opened
        break;
    case Command::LogSerial:
    case Command::Ledger:
    case Command::ExportSerials:
    case Command::ImportSerials:
    case Command::Recover:
        if (request.command == Command::Recover && database.empty()) {
            if (!range.empty())
                return usage(QStringLiteral("--range goes with --db"));
            break;
        }
        if (const QString problem = ledgerAddressProblem(request.log); !problem.isEmpty())
            return usage(problem);
        if (request.command == Command::ImportSerials && request.log.range.isEmpty())
            return usage(
                QStringLiteral("import-serials starts a database range: give a postgresql:// address "
                               "with --range"));
        break;
    default:
        break;
    }
    result.request = request;
    return result;
}

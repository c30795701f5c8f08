#pragma once

#include "CaptureSettings.h"
#include "IdBlock.h"
#include "OpenSerialLedger.h"
#include "PgRangeSetup.h"

#include <QString>

#include <chrono>
#include <optional>
#include <variant>

// What the command line asks for, checked and typed.
struct CliRequest {
    enum class Command {
        Identify,
        Erase,
        Wipe,
        Restore,
        Reboot,
        EnterBootloader,
        Program,
        Capture,
        WriteSerial,
        LogSerial,
        Recover,
        Ports,
        Ledger,
        DbInit,
        ExportSerials,
        ImportSerials,
    };
    Command command = Command::Identify;
    // The port: a number 1..18 (through the port map) or a device's path.
    std::variant<int, QString> port = 10;
    bool json = false;
    bool repeat = false; // a station loop: one unit after another
    QString recoveryUrl;

    QString file; // program: the .fw file; export-serials, import-serials: the .ser file
    CaptureSettings capture;
    // log-serial, ledger, recover, export-serials, import-serials, db-init:
    // the .ser file or the database, and the range in it.
    LedgerAddress log;
    QString programFile;
    bool ignoreTargetCheck = false;
    bool switchBaud = false;
    std::optional<IdBlock> block;
    std::optional<QString> memo;
    std::optional<qint32> nextSerial;
    std::chrono::milliseconds lockTimeout{30000};
    QString code; // recover
    // db-init
    QString grantRole;
    std::optional<PgRangeSetup::NewRange> newRange;

    // The commands that talk to no module and need no port.
    bool needsPort() const;
};

// The command name as the command line writes it ("log-serial").
const char* commandName(CliRequest::Command command);

// Parses the command line. On a request for help or a usage error, `exitCode`
// is set and `message` holds what to print (help on standard output, errors
// on standard error).
struct CliParse {
    std::optional<CliRequest> request;
    int exitCode = 0;
    QString message;
    bool toStandardError = false;
};
CliParse parseCommandLine(int argc, const char* const* argv);

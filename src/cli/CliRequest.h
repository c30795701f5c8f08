#pragma once

#include "IdBlock.h"

#include <QString>

#include <array>
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
    };
    Command command = Command::Identify;
    // The port: a number 1..18 (through the port map) or a device's path.
    std::variant<int, QString> port = 10;
    bool json = false;
    bool repeat = false; // a station loop: one unit after another

    QString file;     // program, capture: the .fw file
    QString database; // log-serial, ledger: the .ser file
    QString programFile;
    bool ignoreTargetCheck = false;
    bool switchBaud = false;
    int pages = 120;
    std::optional<std::array<int, 6>> header;
    int preset = -1;
    int maxSerial = 0;
    std::optional<IdBlock> block;
    std::optional<QString> memo;
    std::optional<qint32> nextSerial;
    std::chrono::milliseconds lockTimeout{30000};
    QString code; // recover
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

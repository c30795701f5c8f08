#pragma once

#include "Outcome.h"

// The command line's exit codes, one per way a run can end.
namespace ExitCode {
inline constexpr int kSucceeded = 0;
inline constexpr int kRefused = 1;     // the module refused a command
inline constexpr int kNoResponse = 2;  // the module did not answer
inline constexpr int kFileError = 3;   // a file or the serial database could not be read or written
inline constexpr int kUsage = 4;       // the command line or a value in it is wrong
inline constexpr int kPortError = 5;   // the port cannot be opened or failed
inline constexpr int kRuleRefused = 6; // a rule refused the run (serial numbers, firmware for another module)
inline constexpr int kInterrupted = 130;

int forOutcome(Outcome outcome);

// What --help says about them.
inline constexpr const char* kTable =
    "Exit codes:\n"
    "  0    succeeded\n"
    "  1    refused by the module\n"
    "  2    no response from the module\n"
    "  3    file or database error\n"
    "  4    usage error\n"
    "  5    port error\n"
    "  6    a rule refused the run (serial numbers, firmware for another module)\n"
    "  130  interrupted (Ctrl-C, SIGTERM)\n";
} // namespace ExitCode

#pragma once

// How an operation, or one command of it, ended. A command to the module ends
// Succeeded, Refused, NoResponse, Abandoned or PortError; the rest belong to
// the operations that front ends start.
enum class Outcome {
    Succeeded,
    Refused,     // the module refused the command (acknowledgement 171), or its reply was damaged
    NoResponse,  // no reply in time
    Abandoned,   // the program is closing or the run was interrupted: nothing more is sent
    PortError,   // the port could not be opened or written, or there is none
    Busy,        // another operation runs; nothing was done
    BadInput,    // a value or file the operator gave cannot be used
    FileError,   // a file could not be opened, read or written
    RuleRefused, // a rule of the tool refused the run (serial numbers, firmware for another module)
};

// "succeeded", "refused", "no-response", ...: the outcome's name for scripts.
const char* outcomeName(Outcome outcome);

#pragma once

#include <optional>

// The commands that work on a serial range in a PostgreSQL database and need
// no module: db-init, export-serials, import-serials. Runs the command line
// when it names one of them (with its own QCoreApplication) and answers the
// exit code; answers nothing for any other command line.
std::optional<int> runDatabaseCommand(int argc, char** argv);

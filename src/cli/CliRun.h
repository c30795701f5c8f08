#pragma once

struct CliRequest;

// Carries out a parsed command line over the core and answers the exit code.
// Needs a QCoreApplication.
int runCli(const CliRequest& request);

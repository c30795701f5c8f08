#pragma once

#include "BenchStats.h"

#include <QString>
#include <QStringList>

// The front ends at line rate: what a command line and the main window cost
// beyond the core while they program 256 pages, and whether stations on four
// fixtures at once go as fast as one.

// The command line programming `firmwareFile` into the module on `device`:
// its wall time for the run and the CPU its process used.
struct ProgramRun {
    bool ok = false;
    double wallS = 0;
    double cpuMs = 0;
};
ProgramRun runCommandLine(const QString& device, const QString& firmwareFile);
// Several command lines at once, one a device; the slowest one's wall time.
ProgramRun runCommandLines(const QStringList& devices, const QString& firmwareFile);
// Stations giving modules serial numbers from one log (`log`: "--db" and a
// file, or a database and its "--range") and programming them, one a device,
// all at once: the slowest one's wall time, and whether every module got a
// serial number of its own.
ProgramRun runLoggingStations(const QStringList& devices, const QStringList& log,
                              const QString& firmwareFile);
// The main window (offscreen) reading the module and programming the file
// with its buttons, as an operator does.
ProgramRun runMainWindow(const QString& device, const QString& firmwareFile);

// "case=NAME pages=N wall_s= wire_s= ratio= cpu_pct= cpu_ms_per_page="; a
// logged unit's serial number takes two more identity reads and a write.
void printFrontEndCase(const QString& name, int pages, const ProgramRun& run, bool logged = false);

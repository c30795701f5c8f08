#pragma once

#include <QString>
#include <QStringList>

class VirtualModule;

struct ModuleStartOptions {
    QString symlink;    // a link to the device, made at start and removed at exit
    QString memoryFile; // where program memory is written after changes and at exit
};

// Reads the program's command line into the module's identity, memory and faults.
// Returns an error text, or nothing when all went well.
QString applyModuleOptions(const QStringList& arguments, VirtualModule& module, ModuleStartOptions& start);

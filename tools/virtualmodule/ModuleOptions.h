#pragma once

#include <QString>
#include <QStringList>

class VirtualModule;

struct ModuleStartOptions {
    QString symlink; // a link to the device, made at start and removed at exit
};

// Reads the program's command line into the module's identity and faults.
// Returns an error text, or nothing when all went well.
QString ApplyModuleOptions(const QStringList& arguments, VirtualModule& module, ModuleStartOptions& start);

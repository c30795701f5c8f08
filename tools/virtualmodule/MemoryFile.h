#pragma once

#include <QString>

class ModuleModel;

// Program memory to and from raw binary files. Each returns an error text, or
// nothing when all went well.

// Loads the file from address 0; memory it does not cover stays erased.
QString loadMemoryImage(const QString& path, ModuleModel& model);
// Writes all of memory. The file is replaced in one step, so whoever compares
// it while the module runs never reads half of it.
QString saveMemory(const QString& path, const ModuleModel& model);

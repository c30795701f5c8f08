#pragma once

#include <QString>

// Makes a file's name as durable as its contents: syncs the folder it is in,
// after the file was created or renamed there. Best effort: a folder that
// cannot be opened is left as it is.
void syncDirectoryOf(const QString& path);

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

#include <sys/types.h>
#include <unistd.h>

// Makes a file's name as durable as its contents: syncs the folder it is in,
// after the file was created or renamed there. Best effort: a folder that
// cannot be opened is left as it is.
void syncDirectoryOf(const QString& path);

// The system calls a durable append makes. Tests replace them to make a
// write, a sync or a cut-back fail.
struct FileSystemCalls {
    ssize_t (*write)(int fd, const void* data, size_t size) = ::write;
    int (*fsync)(int fd) = ::fsync;
    int (*ftruncate)(int fd, off_t length) = ::ftruncate;
};

// The size of the open file `fd` as the system has it; empty, with the
// reason in `error`, when it cannot be read.
std::optional<qint64> sizeOfOpenFile(int fd, QString* error);

// Appends `bytes` to the open file `fd`, whose size is `size`, in one write,
// and waits until they are on the disk. Empty on success; otherwise the reason,
// after the file was cut back to `size` (never shorter), so that what it held
// before stays whole. When even the cut-back fails, the reason says that the
// file may end in part of what was written.
QString appendDurably(int fd, qint64 size, QByteArrayView bytes, const FileSystemCalls& calls = {});

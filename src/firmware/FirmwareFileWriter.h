#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <utility>

#include <sys/types.h>

// Writes a new .fw file beside the one it is to replace, so that no name ever
// claims more than its file holds:
// - the lines go first into a scratch file, "<name>.partial.new"; the chosen
//   file and a "<name>.partial" of an earlier capture stay as they are;
// - once the first page is in, the scratch file is synced and becomes
//   "<name>.partial" (replacing the earlier one), and the later pages go into it;
// - only a whole file, synced, is renamed over the chosen name.
// Each line goes to the file whole or not at all: a line that cannot be
// written whole is taken back. Every operation returns false on a file error,
// with the system's description in errorString().
class FirmwareFileWriter {
public:
    // The system calls the writer makes. Tests replace them to make a write,
    // a sync or a rename fail.
    struct SystemCalls {
        std::function<ssize_t(int fd, const void* data, size_t size)> write;
        std::function<int(int fd)> fsync;
        std::function<int(const char* from, const char* to)> rename;
    };
    // The system's own.
    static SystemCalls systemCalls();

    explicit FirmwareFileWriter(SystemCalls calls = systemCalls()) : Calls(std::move(calls)) {}
    ~FirmwareFileWriter() { closeFile(); }
    FirmwareFileWriter(const FirmwareFileWriter&) = delete;
    FirmwareFileWriter& operator=(const FirmwareFileWriter&) = delete;

    // Starts a new scratch file for `path` (a scratch file left by an earlier
    // run is removed).
    bool create(const QString& path);
    bool writeLine(const QByteArray& line);
    // Syncs what was written and makes it "<path>.partial", in place of an
    // earlier one: the pages that file held are given up only for pages that
    // are on the disk.
    bool keepAsPartial();
    // Syncs the file to the disk and renames it over the chosen name.
    bool commit();
    // Syncs the partial file and closes it, keeping it. False when what it
    // holds is not surely on the disk: it never became the partial file, or
    // a sync failed (a failed sync may have dropped pages that a later sync
    // would not report again).
    bool keep();
    // Removes the file this writer started, under whichever name it has now
    // (not after a commit).
    void discard();

    QString partialPath() const { return FinalPath + QStringLiteral(".partial"); }
    QString errorString() const { return Error; }

private:
    bool sync();
    void closeFile();
    bool fail(const QString& description);
    bool failWithErrno();

    SystemCalls Calls;
    int Fd = -1;
    QString FinalPath;
    QString CurrentPath; // the file's name now; empty once it is committed
    bool Partial = false;
    bool SyncFailed = false;
    QString Error;
};

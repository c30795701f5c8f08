#pragma once

#include "SerialLoad.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <chrono>

#include <sys/types.h>

// The operator's serial-number database file: read completely when chosen,
// then held open and locked for appending until another file is chosen.
//
// One writer per file: the file is locked with flock() on its open file
// description, which the kernel drops when the holder closes it or dies, so a
// crashed program never leaves a stale lock behind. A second database object,
// in this process or another, is refused while the lock is held.
class SerialDatabase {
public:
    SerialDatabase();
    ~SerialDatabase();
    SerialDatabase(const SerialDatabase&) = delete;
    SerialDatabase& operator=(const SerialDatabase&) = delete;

    // Who holds the file: one program for as long as it has it open (the
    // windows), or several programs taking turns, one unit each (stations
    // logging to one file).
    enum class Sharing { Exclusive, TakeTurns };

    // Closes the file held so far, then opens `path` for reading and
    // appending (creating it empty when missing) and reads every record. An
    // exclusive database is locked from here on; one that takes turns is
    // locked only while it reads, and for a turn (waiting up to
    // `lockTimeout` for a station that holds it). On failure nothing stays
    // open.
    SerialLoad open(const QString& path, Sharing sharing = Sharing::Exclusive,
                    std::chrono::milliseconds lockTimeout = {});
    // Takes the file's lock for one unit, waiting up to `timeout` while
    // another program holds it, and reads every record again, so that the
    // next serial number follows the last one logged by anybody. Fails (with
    // "the file is in use by another program" after the wait) leaving the
    // file unlocked. An exclusive database holds its lock already.
    SerialLoad takeTurn(std::chrono::milliseconds timeout);
    // Gives the lock back after a turn.
    void endTurn();
    Sharing sharing() const { return Shared; }
    // Appends one 100-byte record (BuildSerialRecord) in a single write and
    // waits until it is on the disk, so a record the operator was told about
    // survives a crash or a power cut. A file that ends in a partial record
    // has it completed (as a bad record) in the same write, so that every
    // record appended reads back. On failure the file is cut back to its
    // length before the append and ErrorString() says why.
    bool append(QByteArrayView record);
    // Releases the lock. Closing a database that is not open does nothing.
    void close();

    bool isOpen() const { return File.isOpen(); }

    // The system calls an append makes. Tests replace them to make a write
    // or a sync fail.
    struct SystemCalls {
        ssize_t (*write)(int fd, const void* data, size_t size);
        int (*fsync)(int fd);
    };
    void setSystemCalls(SystemCalls calls) { Calls = calls; }
    QString errorString() const { return Error; }
    // "Error writing to Serial Number Database file: " and ErrorString().
    QString writeErrorText() const;

private:
    bool fail(const QString& description);

    QFile File;
    QString Error;
    SystemCalls Calls;
    Sharing Shared = Sharing::Exclusive;
};

// Titles of the message boxes for a failed load and a failed append.
inline constexpr char kSerialDBOpenTitle[] = "File Open";
inline constexpr char kSerialDBWriteTitle[] = "File Write";

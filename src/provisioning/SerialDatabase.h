#pragma once

#include "DurableFiles.h"
#include "SerialLedger.h"
#include "SerialLoad.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <chrono>

// The operator's serial-number database file (.ser): read completely when
// chosen, then held open for appending until another file is chosen.
//
// One writer per file: the file is locked with flock() on its open file
// description, which the kernel drops when the holder closes it or dies, so a
// crashed program never leaves a stale lock behind. A second database object,
// in this process or another, is refused while the lock is held.
class SerialDatabase {
public:
    using Sharing = SerialLedger::Sharing;

    SerialDatabase() = default;
    ~SerialDatabase();
    SerialDatabase(const SerialDatabase&) = delete;
    SerialDatabase& operator=(const SerialDatabase&) = delete;

    // Closes the file held so far, then opens `path` and reads every record:
    // for reading and appending (creating it empty when missing), locked for
    // as long as it is open (Exclusive) or for each turn (TakeTurns, waiting
    // up to `lockTimeout` for a station that holds it, or until `stop`); or
    // for reading alone, without the lock (ReadOnly). On failure nothing stays
    // open.
    SerialLoad open(const QString& path, Sharing sharing = Sharing::Exclusive,
                    std::chrono::milliseconds lockTimeout = {}, const StopRequested& stop = {});
    // Takes the file's lock for one unit, waiting up to `timeout` while
    // another program holds it, checks that the path still names the file
    // held, and reads every record again. Fails leaving the file unlocked; a
    // file renamed or replaced under it is closed.
    SerialLoad takeTurn(std::chrono::milliseconds timeout, const StopRequested& stop = {});
    // Gives the lock back after a turn.
    void endTurn();
    Sharing sharing() const { return Shared; }
    const QString& path() const { return Path; }
    // Appends one 100-byte record in a single write and waits until it is on
    // the disk, so a record the operator was told about survives a crash or a
    // power cut. A file that ends in a partial record has it completed (as a
    // bad record) in the same write, so that every record appended reads back.
    // On failure the file is cut back to its length before the append and
    // errorString() says why.
    bool append(QByteArrayView record);
    // Releases the lock. Closing a database that is not open does nothing.
    void close();

    bool isOpen() const { return File.isOpen(); }

    void setSystemCalls(const FileSystemCalls& calls) { Calls = calls; }
    QString errorString() const { return Error; }
    // "Error writing to Serial Number Database file: " and errorString().
    QString writeErrorText() const;

private:
    QFile File;
    QString Path;
    QString Error;
    FileSystemCalls Calls;
    Sharing Shared = Sharing::Exclusive;
};

// Titles of the message boxes for a failed load and a failed append.
inline constexpr char kSerialDBOpenTitle[] = "File Open";
inline constexpr char kSerialDBWriteTitle[] = "File Write";

#pragma once

#include "CommandExchange.h"
#include "IdBlock.h"
#include "SerialDatabase.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <optional>

class CommsLink;
class Reporter;
class TargetSession;

// What a logging run did: its outcome, and the serial number and record it
// logged when it succeeded.
struct LoggedUnit {
    LoggedUnit(Outcome ended = Outcome::Succeeded) : outcome(ended) {} // NOLINT: an outcome is a result
    Outcome outcome;
    std::optional<qint32> serial;
    QByteArray record;
};

// The ID block to be written into the next module, the next serial number to
// give out, the production log they continue from, and the steps that write a
// serial number (command 19) and log the unit.
class SerialAllocation : public QObject {
    Q_OBJECT
public:
    static constexpr int kLowestSerial = 1;
    static constexpr int kHighestSerial = 65535;

    SerialAllocation(CommsLink& link, TargetSession& target, Reporter& reporter, QObject* parent = nullptr);

    const IdBlock& setSerialData() const { return SetSerialData; }
    // Nothing after a database whose last serial number leaves no next one,
    // until the operator sets it.
    std::optional<qint32> nextSerial() const { return NextSerial; }

    // NextSerial = NewSerial, and its low and high bytes into SerL and SerH.
    void PutNewSerialNo(qint32 NewSerial);
    // Replaces the whole ID block (a loaded database, a recovered unit file).
    void putSerialData(const IdBlock& block);
    // The operator's entries: a value outside the range leaves the field as
    // it was, and the answer says whether the value was taken. Editing SerL
    // or SerH does not change NextSerial; a new serial number is taken when
    // it lies in 1..65535, and SerL and SerH follow the next serial number
    // either way.
    bool enterSerialByte(int index, double value);
    bool enterNextSerial(double value);

    // The step: "Writing serial number ...", command 19 with the ID block,
    // then "Write Serial Failed.", "No response." or "Write Serial OK.".
    Outcome WriteSerialNo();

    // Opens and reads the serial-number database chosen by the operator; it
    // stays open, for this tool alone, for the records to come, or (taking
    // turns) for every station that logs to it.
    Outcome ReadSerialDBFile(const QString& path,
                             SerialDatabase::Sharing sharing = SerialDatabase::Sharing::Exclusive);
    // For a station sharing the file: the ID block bytes to write instead of
    // the last record's (all but SerL and SerH), whether the memo set here
    // goes before the last record's, the serial number to start from when
    // the log's last record gives none, and how long to wait for the file.
    void setStationRules(std::optional<IdBlock> idTemplate, bool keepMemo, std::optional<qint32> nextWhenNone,
                         std::chrono::milliseconds lockTimeout);
    bool SerialDBOpen() const { return Database.isOpen(); }
    const QString& serialDbFileName() const { return DatabaseFile; }
    // The memo written into every record until the operator changes it.
    const QString& memo() const { return Memo; }
    void setMemo(const QString& memo) { Memo = memo; }

    // Appends the record of the unit just programmed; made durable before it
    // returns true. A record that could not be made durable is taken back and
    // the database is closed: logging goes on only once the operator has
    // chosen the file again.
    bool WriteSerialDBRecord(qint32 serial, QByteArray* written);
    SerialDatabase& database() { return Database; }
    // Reads the module, refuses one already programmed, writes the ID block,
    // reads the module again and logs the unit when it now holds the block
    // written; then advances the serial number.
    LoggedUnit ProgramAndLogSerialNo();

signals:
    void changed();
    // A loaded database brought a memo with it.
    void memoChanged(const QString& memo);

private:
    // The values a loaded or re-read log gives the next unit.
    void takeOver(const SerialLoad& load);

    CommsLink& Link;
    TargetSession& Target;
    Reporter& Report;
    SerialDatabase Database;
    QString DatabaseFile;
    QString Memo;
    IdBlock SetSerialData{90, 1, 1, 0, 0, 0, 0, 0};
    std::optional<qint32> NextSerial = 1;
    std::optional<IdBlock> Template;
    bool KeepMemo = false;
    std::optional<qint32> NextWhenNone;
    std::chrono::milliseconds LockTimeout{0};
};

#pragma once

#include "CommandExchange.h"
#include "IdBlock.h"
#include "OpenSerialLedger.h"
#include "SerialLedger.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class CommsLink;
class Reporter;
class TargetSession;

// Where a unit's serial number stands after a logging run.
enum class SerialState {
    None,      // no number was taken for it
    Logged,    // in the module and in the log
    Reserved,  // spent: the module may hold it, but it is not logged
    Cancelled, // the module answered without it: the number is free again
};

// What a logging run did: its outcome, and the serial number it took and the
// record it logged.
struct LoggedUnit {
    LoggedUnit(Outcome ended = Outcome::Succeeded) : outcome(ended) {} // NOLINT: an outcome is a result
    Outcome outcome;
    std::optional<qint32> serial;
    SerialState state = SerialState::None;
    QByteArray record;
};

// The ID block to be written into the next module, the next serial number to
// give out, the production log they continue from, and the steps that write a
// serial number (command 19) and log the unit.
//
// A serial number is spent the moment it may reach a module: it is reserved in
// the log's ledger, durably, before the module is written, and stays spent
// unless the module is read back without it. A spent number is never written
// into a module again.
class SerialAllocation : public QObject {
    Q_OBJECT
public:
    static constexpr int kLowestSerial = SpentSerials::kLowest;
    static constexpr int kHighestSerial = SpentSerials::kHighest;

    SerialAllocation(CommsLink& link, TargetSession& target, Reporter& reporter, QObject* parent = nullptr);
    ~SerialAllocation() override;

    const IdBlock& setSerialData() const { return SetSerialData; }
    // Nothing after a log whose last serial number leaves no next one,
    // until the operator sets it.
    std::optional<qint32> nextSerial() const { return NextSerial; }

    // NextSerial = NewSerial, and its low and high bytes into SerL and SerH.
    void PutNewSerialNo(qint32 NewSerial);
    // Replaces the whole ID block (a loaded database, a recovered unit file).
    void putSerialData(const IdBlock& block);
    // The operator's entries: a value outside the range leaves the field as
    // it was, and the answer says whether the value was taken. Editing SerL
    // or SerH does not change NextSerial; a new serial number is taken when
    // it lies in 1..65535 and has not been given yet, and SerL and SerH
    // follow the next serial number either way.
    bool enterSerialByte(int index, double value);
    bool enterNextSerial(double value);

    // "Prog Only": "Writing serial number ...", command 19 with the ID block
    // as it stands, then "Write Serial Failed.", "No response." or "Write
    // Serial OK.".
    Outcome WriteSerialNo();
    // The same with another ID block (a script's own), leaving the one shown.
    Outcome WriteSerialNo(const IdBlock& block);

    // Opens and reads the serial-number log chosen by the operator; it stays
    // open, for this tool alone, for the records to come, or (taking turns)
    // for every station that logs to it.
    Outcome ReadSerialDBFile(const LedgerAddress& where,
                             SerialLedger::Sharing sharing = SerialLedger::Sharing::Exclusive);
    // For a station sharing the log: the ID block bytes to write instead of
    // the last record's (all but SerL and SerH), whether the memo set here
    // goes before the last record's, the serial number to start an empty log
    // from or to continue a log that gives none from (taken once, when the
    // log is opened), and how long to wait for the log.
    void setStationRules(std::optional<IdBlock> idTemplate, bool keepMemo, std::optional<qint32> startAt,
                         std::chrono::milliseconds lockTimeout);
    bool SerialDBOpen() const { return Ledger && Ledger->isOpen(); }
    const QString& serialDbFileName() const { return DatabaseName; }
    // What the log showed when it was opened or last taken for a unit.
    const LedgerView& ledgerView() const { return View; }
    SerialLedger* ledger() { return Ledger.get(); }
    // The memo written into every record until the operator changes it.
    const QString& memo() const { return Memo; }
    void setMemo(const QString& memo) { Memo = memo; }

    // "Program and Log": reads the module, refuses one already numbered
    // (unless it holds a number reserved for it and not yet logged), reserves
    // the next serial number, writes it with the ID block, reads the module
    // again and logs the unit when it holds the block. `firmware` names the
    // file programmed after it, for the ledger.
    LoggedUnit ProgramAndLogSerialNo(const QString& firmware = {});

private:
    // The ID block and memo a loaded or re-read log gives the next unit, and
    // its next serial number.
    void takeOverValues(const LedgerView& view);
    void takeOverNext(const LedgerView& view);
    // The number the next unit gets after `serial` was taken.
    void moveNextPast(qint32 serial);
    // Appends the record of a unit that holds `block`; made durable before
    // the unit counts as logged.
    LoggedUnit WriteSerialDBRecord(qint32 serial, const IdBlock& block);
    bool stopRequested() const;
    QString stationName() const;

    CommsLink& Link;
    TargetSession& Target;
    Reporter& Report;
    std::unique_ptr<SerialLedger> Ledger;
    LedgerView View;
    SerialLedger::Sharing Shared = SerialLedger::Sharing::Exclusive;
    QString DatabaseName;
    QString Memo;
    IdBlock SetSerialData{90, 1, 1, 0, 0, 0, 0, 0};
    std::optional<qint32> NextSerial = 1;
    // The operator (or a station's --next-serial) chose the next serial
    // number: it continues from there rather than from the log's highest.
    bool NextChosen = false;
    std::optional<IdBlock> Template;
    bool KeepMemo = false;
    std::optional<qint32> StartAt;
    std::chrono::milliseconds LockTimeout{0};
};

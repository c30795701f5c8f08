#pragma once

#include "IdBlock.h"
#include "Outcome.h"
#include "SpentSerials.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

struct TargetIdentity;

// A serial number taken for one unit before it may reach the module. Until it
// is logged or cancelled it stays spent: the module may hold it.
struct Reservation {
    qint32 serial = 0;
    // Who took it: the host name and the port ("bench3 /dev/ttyUSB0").
    QString station;
    // The firmware file programmed after the serial number; empty for none.
    QString firmware;
    // The ID block written into the module, its serial bytes those of `serial`.
    IdBlock block{};
    QDateTime reservedAt;
};

// A unit whose serial number reached its module and was read back: what its
// record holds.
struct LoggedUnitRecord {
    qint32 serial = 0;
    // The ID block written, and the module's identity read after the write.
    IdBlock block{};
    const TargetIdentity* identity = nullptr;
    QString memo;
    // The 100-byte record, exactly as a .ser file holds it.
    QByteArray record;
};

// What a ledger holds when it is opened and at the start of each unit's turn.
struct LedgerView {
    // Succeeded; FileError when the ledger could not be opened or read (the
    // text says why); Abandoned when a stop ended the wait for it.
    Outcome outcome = Outcome::Succeeded;
    // For the message box: title ("File Open") and text.
    QString title;
    QString error;
    // What the operator is told when it opens: the load's status and, when
    // there are open reservations, "2 serial numbers reserved but not
    // logged: 500, 507".
    QString status;

    // Every number logged or reserved.
    SpentSerials spent;
    // Reserved and neither logged nor cancelled, lowest serial first.
    QList<Reservation> open;
    // Where the range goes on: the highest spent number + 1. None when the
    // last logged record gives no number (it was damaged, and its unit's
    // serial number is unknown) or every number up to 65535 is taken.
    std::optional<qint32> next;
    // The values the next unit starts from: the last record's ID block bytes
    // (an unreadable byte is empty) and memo, or the range's own.
    std::array<std::optional<qint16>, 8> idBlock{};
    std::optional<QString> memo;

    bool succeeded() const { return outcome == Outcome::Succeeded; }
    const Reservation* openReservation(qint32 serial) const;
};

// How one write to the ledger ended.
struct LedgerWrite {
    Outcome outcome = Outcome::Succeeded; // FileError, or RuleRefused for a spent number
    QString error;                        // why, for the message box
    qint32 serial = 0;                    // the number reserved
    bool succeeded() const { return outcome == Outcome::Succeeded; }
};

// A unit looked up by its recovery code: the unit's serial number in six
// decimal digits ("004711" is serial 4711).
struct UnitLookup {
    enum class Found {
        Logged,   // the unit's ID block, as written and logged
        Reserved, // reserved but never logged: the block it was to get
        NotFound,
        BadCode, // not six decimal digits naming a serial number
        Failed,  // the ledger could not be read (error says why)
    };
    Found found = Found::NotFound;
    IdBlock block{};
    QString error;
};

// The serial number a recovery code names; empty, with the reason in
// `lookup`, when it names none.
std::optional<qint32> serialOfRecoveryCode(const QString& code, UnitLookup* lookup);

// Tells a wait for the ledger that the run is to end.
using StopRequested = std::function<bool()>;

// The production log of one serial range: what is spent, where the range goes
// on, and the three writes of a unit's life: reserve (before the module is
// written), confirm (its record, once read back) and cancel (the module
// answered without the block). Every write is durable before it returns.
// A spent number is never given again; gaps are allowed.
//
// Two implementations: a .ser file with its ledger file beside it, and a range
// in a PostgreSQL database.
class SerialLedger {
public:
    enum class Sharing {
        Exclusive, // one program holds it for as long as it is open (the windows)
        TakeTurns, // stations take it in turn, one unit each
        ReadOnly,  // read as it stands, without waiting for it or writing (listing, exporting)
    };

    virtual ~SerialLedger() = default;

    // What the operator reads for it: the file's path, or the database's
    // address (never its password) and the range.
    virtual QString name() const = 0;
    virtual bool isOpen() const = 0;

    // Takes the ledger for one unit, waiting up to `timeout` while another
    // station has it (a stop ends the wait as Abandoned), and reads it again.
    // A failed turn holds nothing.
    virtual LedgerView beginTurn(std::chrono::milliseconds timeout, const StopRequested& stop) = 0;
    virtual void endTurn() = 0;

    // Spends a number for a unit, during a turn: `wanted` when given (refused
    // as RuleRefused when spent), else the range's next. The block's serial
    // bytes are set to the number taken.
    virtual LedgerWrite reserve(Reservation reservation, std::optional<qint32> wanted) = 0;
    // The unit is in the module and read back: its record is logged, the
    // reservation closed.
    virtual LedgerWrite confirm(const LoggedUnitRecord& unit) = 0;
    // The module answered without the block: the number is free again.
    virtual LedgerWrite cancel(qint32 serial) = 0;

    // The logged units' records in the order they were logged: the .ser file
    // of the range.
    virtual QByteArray exportRecords() = 0;
    // The unit a recovery code names, logged or reserved.
    virtual UnitLookup findUnit(const QString& code) = 0;

    virtual void close() = 0;
};

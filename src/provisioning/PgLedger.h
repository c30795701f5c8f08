#pragma once

#include "PgConnection.h"
#include "SerialLedger.h"

#include <QString>

#include <chrono>
#include <optional>

// A serial range in a PostgreSQL database as the production log of one or
// many stations. Every write is one short transaction, committed before it
// returns: reserve takes the range's next number (or the one wanted) and
// inserts the reserved unit; confirm stores the unit's record and marks it
// logged; cancel deletes the reserved unit and gives the number back when it
// was the last one taken. No lock is held while a module is written.
//
// When the connection breaks, the next call connects again. A reservation
// whose commit was not answered counts as failed (the module is not written)
// although its number may be spent; a confirm is tried again for a short
// while, since the module already holds its number.
class PgLedger : public SerialLedger {
public:
    struct Timing {
        // For connecting when the URI sets no connect_timeout.
        std::chrono::milliseconds connect{10000};
        // For one statement's answer.
        std::chrono::milliseconds statement{10000};
        // How long a confirm is tried again after the connection broke, and
        // the pause between two tries.
        std::chrono::milliseconds confirmRetry{15000};
        std::chrono::milliseconds retryPause{500};
    };

    PgLedger(QString uri, QString range, Timing timing);
    PgLedger(QString uri, QString range) : PgLedger(std::move(uri), std::move(range), Timing()) {}

    // Connects, checks the tables' version and reads the range.
    LedgerView open(const StopRequested& stop);

    QString name() const override;
    bool isOpen() const override { return Opened; }
    LedgerView beginTurn(std::chrono::milliseconds timeout, const StopRequested& stop) override;
    void endTurn() override {}
    LedgerWrite reserve(Reservation reservation, std::optional<qint32> wanted) override;
    LedgerWrite confirm(const LoggedUnitRecord& unit) override;
    LedgerWrite cancel(qint32 serial) override;
    QByteArray exportRecords() override;
    void close() override;

    // The logged units' records in the order they were logged, or nothing
    // when the database could not be read (`error` says why).
    std::optional<QByteArray> exportLogged(QString* error);

    UnitLookup findUnit(const QString& code) override;

    // The message box title for a database that cannot be opened or written.
    static QString messageTitle() { return QStringLiteral("Serial Database"); }

private:
    // Connects when the connection is gone; empty on success, else why not.
    QString connect(const StopRequested& stop);
    LedgerView readView(const StopRequested& stop);
    LedgerView failedView(Outcome outcome, const QString& why) const;
    LedgerWrite failedWrite(const PgResult& result, qint32 serial) const;
    // One try; `again` tells whether another may succeed.
    LedgerWrite tryConfirm(const LoggedUnitRecord& unit, bool* again);
    QString explainNoNumber(std::optional<qint32> wanted);
    PgResult exec(const char* name, const char* sql, const QList<PgValue>& values);

    QString Uri;
    QString Range;
    Timing Times;
    PgConnection Connection;
    StopRequested Stop;
    bool Opened = false;
    // The spent numbers as last read, and the range's counts then: the next
    // turn reads only what was taken since.
    struct KnownSpent {
        SpentSerials spent;
        qint64 taken = 0;
        qint64 cancelled = 0;
    };
    std::optional<KnownSpent> Known;
};

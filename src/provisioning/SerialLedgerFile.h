#pragma once

#include "DurableFiles.h"
#include "SerialDatabase.h"
#include "SerialLedger.h"

// A serial range kept in a .ser file, with its ledger file beside it
// ("line1.ser.ledger") for the numbers reserved and not yet logged. Both are
// written only under the .ser file's lock; a .ser file without a ledger reads
// as a range whose numbers were all logged.
class SerialLedgerFile : public SerialLedger {
public:
    // Opens the file as SerialDatabase::open does and reads its ledger.
    LedgerView open(const QString& path, Sharing sharing, std::chrono::milliseconds lockTimeout = {},
                    const StopRequested& stop = {});

    QString name() const override { return Log.path(); }
    bool isOpen() const override { return Log.isOpen(); }
    LedgerView beginTurn(std::chrono::milliseconds timeout, const StopRequested& stop) override;
    void endTurn() override { Log.endTurn(); }
    LedgerWrite reserve(Reservation reservation, std::optional<qint32> wanted) override;
    LedgerWrite confirm(const LoggedUnitRecord& unit) override;
    LedgerWrite cancel(qint32 serial) override;
    QByteArray exportRecords() override;
    UnitLookup findUnit(const QString& code) override;
    void close() override { Log.close(); }

    // The system calls of the appends to the .ser file and to its ledger.
    void setSystemCalls(const FileSystemCalls& log, const FileSystemCalls& ledger);

private:
    // The view of the log just read and of its ledger.
    LedgerView viewOf(const SerialLoad& load);
    LedgerWrite appendToLedger(const QByteArray& line, qint32 serial);
    // The highest spent number + 1, unless the log's last record left its
    // unit's number unknown.
    void updateNext();

    SerialDatabase Log;
    FileSystemCalls LedgerCalls;
    // What the present turn sees, kept up to date by its writes.
    LedgerView Current;
    bool LastSerialUnknown = false;
};

#include "OpenSerialLedger.h"

#include "DatabaseAddress.h"
#include "PgLedger.h"
#include "SerialLedgerFile.h"

namespace {

template <typename Ledger> OpenedLedger keepIfOpened(std::unique_ptr<Ledger> ledger, LedgerView view) {
    OpenedLedger opened;
    opened.view = std::move(view);
    if (opened.view.succeeded())
        opened.ledger = std::move(ledger);
    return opened;
}

} // namespace

QString ledgerAddressProblem(const LedgerAddress& where) {
    const bool database = isDatabaseAddress(where.address);
    if (database && where.range.isEmpty())
        return QStringLiteral("A database address needs --range: the serial range in it.");
    if (!database && !where.range.isEmpty())
        return QStringLiteral("--range is for a database address (postgresql://...), not a .ser file.");
    return {};
}

QString ledgerName(const LedgerAddress& where) {
    return isDatabaseAddress(where.address) ? PgLedger(where.address, where.range).name() : where.address;
}

OpenedLedger openSerialLedger(const LedgerAddress& where, SerialLedger::Sharing sharing,
                              std::chrono::milliseconds lockTimeout, const StopRequested& stop) {
    if (isDatabaseAddress(where.address)) {
        // Stations share a database range whatever their sharing: every
        // write is a transaction of its own, and nothing is locked between.
        PgLedger::Timing timing;
        if (lockTimeout.count() > 0)
            timing.connect = lockTimeout;
        auto database = std::make_unique<PgLedger>(where.address, where.range, timing);
        LedgerView view = database->open(stop);
        return keepIfOpened(std::move(database), std::move(view));
    }
    auto file = std::make_unique<SerialLedgerFile>();
    LedgerView view = file->open(where.address, sharing, lockTimeout, stop);
    return keepIfOpened(std::move(file), std::move(view));
}

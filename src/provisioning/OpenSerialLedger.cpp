#include "OpenSerialLedger.h"

#include "DatabaseAddress.h"
#include "PgLedger.h"

OpenedLedger openSerialLedger(const QString& address, const QString& range, SerialLedger::Sharing,
                              std::chrono::milliseconds timeout, const StopRequested& stop) {
    OpenedLedger opened;
    if (isDatabaseAddress(address)) {
        // Stations share a database range whatever their sharing: every
        // write is a transaction of its own.
        PgLedger::Timing timing;
        if (timeout.count() > 0)
            timing.connect = timeout;
        auto ledger = std::make_unique<PgLedger>(address, range, timing);
        opened.view = ledger->open(stop);
        if (opened.view.succeeded())
            opened.ledger = std::move(ledger);
        return opened;
    }
    // The .ser file's ledger comes here.
    opened.view.outcome = Outcome::FileError;
    opened.view.title = QStringLiteral("File Open");
    opened.view.error =
        QStringLiteral("Error reading Serial Number Database file: no file ledger in this build");
    return opened;
}

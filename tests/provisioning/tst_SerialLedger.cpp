// The ledger's rules, one table run against every implementation: numbers in
// order, a spent number never given twice, cancel giving back only the last
// number taken, records exported in the order they were logged, and all of it
// still there after the ledger is opened again.

#include "PgLedger.h"
#include "PgTestServer.h"
#include "SerialLedgerFile.h"
#include "SerialRecord.h"
#include "TargetIdentity.h"
#include "TestKit.h"

#include <QTemporaryDir>

#include <memory>

namespace {

// A ledger of the implementation on a new, empty range; opened again on the
// same range when `range` is given. None when it cannot be opened.
std::unique_ptr<SerialLedger> open(const QString& implementation, QString& range) {
    static QTemporaryDir folder;
    static int made = 0;
    const bool database = implementation == QLatin1String("database");
    if (range.isEmpty())
        range = database ? PgTestServer::freshRange()
                         : folder.filePath(QStringLiteral("range%1.ser").arg(++made));
    auto pg = database ? std::make_unique<PgLedger>(PgTestServer::adminUri(), range) : nullptr;
    auto file = database ? nullptr : std::make_unique<SerialLedgerFile>();
    const LedgerView view = pg ? pg->open({}) : file->open(range, SerialLedger::Sharing::TakeTurns);
    std::unique_ptr<SerialLedger> ledger =
        pg ? std::unique_ptr<SerialLedger>(std::move(pg)) : std::move(file);
    if (!view.succeeded())
        qWarning("%s", qPrintable(view.error));
    return view.succeeded() ? std::move(ledger) : nullptr;
}

IdBlock blockFor(qint32 serial) {
    return {90, 1, 10, qint16(serial & 0xFF), qint16(serial >> 8)};
}

QByteArray recordFor(qint32 serial) {
    TargetIdentity identity;
    identity.InfoBytes = {0, ';', 0xFF, ',', 'A', 'B', 1, 2, 3, 4, 5};
    return buildSerialRecord(quint16(serial), blockFor(serial), identity, QStringLiteral("conformance"),
                             QDateTime(QDate(2026, 3, 3), QTime(14, 5)), DateTimeSeparators{});
}

// One step of a row: "r" reserves the next number, "r7" number 7, "k7"
// confirms 7, "c7" cancels 7, "o" closes the ledger and opens it again. Each
// runs in a turn of its own and answers the number taken, "ok", "refused",
// or "failed".
QString step(std::unique_ptr<SerialLedger>& ledger, const QString& implementation, QString& range,
             const QString& op) {
    if (op == QLatin1String("o")) {
        ledger->close();
        ledger = open(implementation, range);
        return ledger ? QStringLiteral("ok") : QStringLiteral("failed");
    }
    if (!ledger->beginTurn(std::chrono::seconds(5), {}).succeeded())
        return QStringLiteral("failed");
    const qint32 number = op.mid(1).toInt();
    const LedgerWrite write =
        op[0] == u'r' ? ledger->reserve(Reservation{0, QStringLiteral("test /dev/null"), {}, {90, 1, 10}, {}},
                                        op.size() > 1 ? std::optional(number) : std::nullopt)
        : op[0] == u'k' ? ledger->confirm({number, blockFor(number), nullptr, QStringLiteral("conformance"),
                                           recordFor(number)})
                        : ledger->cancel(number);
    ledger->endTurn();
    if (write.outcome == Outcome::RuleRefused)
        return QStringLiteral("refused");
    if (!write.succeeded())
        return QStringLiteral("failed: ") + write.error;
    return op[0] == QLatin1Char('r') ? QString::number(write.serial) : QStringLiteral("ok");
}

// "next=4 open=2 spent=1,2,3 export=3,1": what the ledger holds at the end.
QString holding(SerialLedger& ledger) {
    const LedgerView view = ledger.beginTurn(std::chrono::seconds(5), {});
    ledger.endTurn();
    if (!view.succeeded())
        return QStringLiteral("failed: ") + view.error;
    QStringList open, spent, exported;
    for (const Reservation& reservation : view.open)
        open << QString::number(reservation.serial);
    for (qint32 serial = SpentSerials::kLowest; serial <= SpentSerials::kHighest; ++serial)
        if (view.spent.contains(serial))
            spent << QString::number(serial);
    const QByteArray records = ledger.exportRecords();
    for (qsizetype at = 0; at + 100 <= records.size(); at += 100) {
        exported << QString::number(records.mid(at, 5).toInt());
        if (records.mid(at, 100) != recordFor(exported.last().toInt()))
            return QStringLiteral("record of %1 changed").arg(exported.last());
    }
    return QStringLiteral("next=%1 open=%2 spent=%3 export=%4")
        .arg(view.next ? QString::number(*view.next) : QStringLiteral("none"), open.join(','),
             spent.join(','), exported.join(','));
}

} // namespace

class TestSerialLedger : public QObject {
    Q_OBJECT
private slots:
    // Each row on every implementation: its steps, what they answer, what
    // the ledger holds at the end.
    void rules_data() {
        const char* rows[] = {
            "numbers in order | r r r | 1 2 3 | next=4 open=1,2,3 spent=1,2,3 export=",
            "logged in the order confirmed | r r r k3 k1 | 1 2 3 ok ok | next=4 open=2 spent=1,2,3 "
            "export=3,1",
            "cancel of the last taken gives it back | r r c2 r | 1 2 ok 2 | next=3 open=1,2 spent=1,2 "
            "export=",
            "cancel of an earlier one leaves a gap | r r c1 r | 1 2 ok 3 | next=4 open=2,3 spent=2,3 export=",
            "a wanted number moves the range past it | r10 r | 10 11 | next=12 open=10,11 spent=10,11 "
            "export=",
            "a wanted number below the next fills a gap | r10 r5 r | 10 5 11 | next=12 open=5,10,11 "
            "spent=5,10,11 export=",
            "a reserved number is not given twice | r r r1 | 1 2 refused | next=3 open=1,2 spent=1,2 export=",
            "a logged number is not given twice | r k1 r1 c1 | 1 ok refused refused | next=2 open= spent=1 "
            "export=1",
            "a confirm needs a reservation | k5 r k1 | refused 1 ok | next=2 open= spent=1 export=1",
            "a cancel needs a reservation | c9 | refused | next=1 open= spent= export=",
            "the last number, then none | r65535 r | 65535 refused | next=none open=65535 spent=65535 "
            "export=",
            "0 and 65536 are no serial numbers | r0 r65536 | refused refused | next=1 open= spent= export=",
            "everything stays when opened again | r r k1 o r | 1 2 ok ok 3 | next=4 open=2,3 spent=1,2,3 "
            "export=1"};
        QTest::addColumn<QString>("implementation");
        QTest::addColumn<QStringList>("row");
        for (const QString implementation : {"file", "database"})
            for (const char* row : rows) {
                const QStringList fields = QString::fromUtf8(row).split(QStringLiteral(" | "));
                QTest::newRow(qPrintable(implementation + ": " + fields[0]))
                    << implementation << fields.mid(1);
            }
    }
    void rules() {
        QFETCH(QString, implementation);
        const auto [steps, answers, holds] = fields<3>();
        QString range;
        std::unique_ptr<SerialLedger> ledger = open(implementation, range);
        QVERIFY(ledger);
        QStringList answered;
        for (const QString& op : steps.split(QLatin1Char(' ')))
            if (ledger)
                answered << step(ledger, implementation, range, op);
        QVERIFY(ledger);
        QCOMPARE(answered.join(QLatin1Char(' ')), answers);
        QCOMPARE(holding(*ledger), holds);
    }
};

QTEST_GUILESS_MAIN(TestSerialLedger)
#include "tst_SerialLedger.moc"

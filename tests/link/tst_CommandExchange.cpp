#include "CommandExchange.h"

#include <QtTest>

Q_DECLARE_METATYPE(ReplyKind)

namespace {
// One report from the link, as a test can name it in a table.
bool report(CommandExchange& exchange, const QString& what) {
    if (what == "ack 91")
        return exchange.PutCommandOKFromTgt(true);
    if (what == "ack 171")
        return exchange.PutCommandOKFromTgt(false);
    if (what == "identity")
        return exchange.PutDataReply(ReplyKind::Identity);
    if (what == "page")
        return exchange.PutDataReply(ReplyKind::EncryptedPage);
    if (what == "damaged")
        return exchange.PutDamagedReply();
    if (what == "link time-out")
        return exchange.PutLinkTimeout();
    if (what == "own deadline")
        return exchange.PutOwnDeadline();
    if (what == "write failure")
        return exchange.PutWriteFailure();
    qFatal("unknown report %s", qPrintable(what));
}

QString outcomeName(CommandOutcome outcome) {
    switch (outcome) {
    case CommandOutcome::Refused:
        return "refused";
    case CommandOutcome::NoResponse:
        return "no response";
    case CommandOutcome::Succeeded:
        return "succeeded";
    case CommandOutcome::Abandoned:
        return "abandoned";
    }
    return {};
}
} // namespace

class TestCommandExchange : public QObject {
    Q_OBJECT
private slots:
    // Which report completes which command, and how it reads afterwards.
    void completion_data() {
        QTest::addColumn<ReplyKind>("awaited");
        QTest::addColumn<bool>("ownDeadline");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("outcome"); // empty: the command is still in progress
        const auto ack = ReplyKind::Acknowledgement;
        const auto id = ReplyKind::Identity;
        const auto page = ReplyKind::EncryptedPage;
        QTest::newRow("ack completes an ack command") << ack << false << "ack 91"
                                                      << "succeeded";
        QTest::newRow("refusal completes an ack command") << ack << false << "ack 171"
                                                          << "refused";
        QTest::newRow("stray identity leaves an ack command") << ack << false << "identity"
                                                              << "";
        QTest::newRow("stray page leaves an ack command") << ack << false << "page"
                                                          << "";
        QTest::newRow("damaged data leaves an ack command") << ack << false << "damaged"
                                                            << "";
        QTest::newRow("time-out ends an ack command") << ack << false << "link time-out"
                                                      << "no response";
        QTest::newRow("write failure ends an ack command") << ack << false << "write failure"
                                                           << "no response";
        QTest::newRow("identity completes an identity request") << id << false << "identity"
                                                                << "succeeded";
        QTest::newRow("ack leaves an identity request") << id << false << "ack 91"
                                                        << "";
        QTest::newRow("refusal completes an identity request") << id << false << "ack 171"
                                                               << "refused";
        QTest::newRow("stray page leaves an identity request") << id << false << "page"
                                                               << "";
        QTest::newRow("damaged reply fails an identity request") << id << false << "damaged"
                                                                 << "refused";
        QTest::newRow("page completes a page request") << page << true << "page"
                                                       << "succeeded";
        QTest::newRow("stray identity leaves a page request") << page << true << "identity"
                                                              << "";
        QTest::newRow("ack leaves a page request") << page << true << "ack 91"
                                                   << "";
        QTest::newRow("link time-out leaves an own deadline") << page << true << "link time-out"
                                                              << "";
        QTest::newRow("own deadline ends a page request") << page << true << "own deadline"
                                                          << "no response";
    }
    void completion() {
        QFETCH(ReplyKind, awaited);
        QFETCH(bool, ownDeadline);
        QFETCH(QString, report);
        QFETCH(QString, outcome);
        CommandExchange exchange;
        QSignalSpy completions(&exchange, &CommandExchange::completed);
        exchange.SetMessageInProgress(awaited, ownDeadline ? Deadline::Own : Deadline::Link);
        QCOMPARE(::report(exchange, report), !outcome.isEmpty());
        QCOMPARE(exchange.GetMessageInProgress(), outcome.isEmpty());
        QCOMPARE(completions.size(), outcome.isEmpty() ? 0 : 1);
        if (!outcome.isEmpty())
            QCOMPARE(outcomeName(exchange.WaitForOutcome()), outcome);
    }

    // Each outcome after each earlier one, to see each flag set and cleared.
    void flagsFollowTheLastCompletion() {
        const QString reports[] = {"ack 91", "ack 171", "link time-out", "damaged"};
        const std::tuple<bool, bool, bool> flags[] = {
            {false, false, true}, {true, false, false}, {false, true, false}, {true, false, false}};
        for (int now = 0; now < 4; ++now) {
            for (const QString& previous : reports) {
                CommandExchange exchange;
                exchange.SetMessageInProgress(ReplyKind::Identity);
                report(exchange, previous == "ack 91" ? "identity" : previous);
                exchange.SetMessageInProgress(ReplyKind::Identity);
                QVERIFY(!exchange.GetMessageSuccessful()); // never while in progress
                report(exchange, reports[now] == "ack 91" ? "identity" : reports[now]);
                const auto [failed, timedOut, successful] = flags[now];
                QCOMPARE(exchange.GetMessageFailed(), failed);
                QCOMPARE(exchange.GetMessageTimedOut(), timedOut);
                QCOMPARE(exchange.GetMessageSuccessful(), successful);
            }
        }
    }

    void onlyTheFirstReportCounts() {
        CommandExchange exchange;
        QSignalSpy completions(&exchange, &CommandExchange::completed);
        exchange.SetMessageInProgress(ReplyKind::Acknowledgement);
        QVERIFY(exchange.PutCommandOKFromTgt(true));
        QVERIFY(!exchange.PutLinkTimeout());           // the late time-out
        QVERIFY(!exchange.PutCommandOKFromTgt(false)); // an unsolicited refusal
        QVERIFY(exchange.GetMessageSuccessful());
        QCOMPARE(completions.size(), 1);
    }

    void waitEndsOnCompletion() {
        CommandExchange exchange;
        exchange.SetMessageInProgress(ReplyKind::Acknowledgement);
        QTimer::singleShot(50, &exchange, [&] { exchange.PutCommandOKFromTgt(false); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(exchange.WaitForOutcome(), CommandOutcome::Refused);
        QVERIFY(clock.elapsed() >= 40 && clock.elapsed() < 1000);
    }

    void closingAbandonsTheWaitAndEveryLaterCommand() {
        CommandExchange exchange;
        exchange.SetMessageInProgress(ReplyKind::Acknowledgement);
        QTimer::singleShot(20, &exchange, [&] { exchange.Close(); });
        QCOMPARE(exchange.WaitForOutcome(), CommandOutcome::Abandoned);
        QVERIFY(exchange.closed());
        exchange.SetMessageInProgress(ReplyKind::Acknowledgement);
        exchange.PutCommandOKFromTgt(true);
        QCOMPARE(exchange.WaitForOutcome(), CommandOutcome::Abandoned);
    }

    void oneOperationAtATime() {
        CommandExchange exchange;
        QSignalSpy activity(&exchange, &CommandExchange::operationActiveChanged);
        {
            const OperationScope first(exchange);
            QVERIFY(first.granted());
            const OperationScope second(exchange);
            QVERIFY(!second.granted());
            QVERIFY(exchange.operationActive()); // the refused one does not end the first
        }
        QVERIFY(!exchange.operationActive());
        QCOMPARE(activity.size(), 2);
        QCOMPARE(activity.at(0).at(0).toBool(), true);
        QCOMPARE(activity.at(1).at(0).toBool(), false);
        QVERIFY(OperationScope(exchange).granted());
    }
};

QTEST_GUILESS_MAIN(TestCommandExchange)
#include "tst_CommandExchange.moc"

#include "CommandExchange.h"

#include <QtTest>

class TestCommandExchange : public QObject {
    Q_OBJECT
private slots:
    void completionFlags() {
        // status, failed, timed out, successful; a damaged reply never reads as success
        const std::tuple<CompletionStatus, bool, bool, bool> table[] = {
            {CompletionStatus::Refused, true, false, false},
            {CompletionStatus::OK, false, false, true},
            {CompletionStatus::NoResponse, false, true, false},
            {CompletionStatus::CommsError, true, false, false}};
        // Each from every earlier outcome, to see each flag set and cleared.
        for (const auto& [status, failed, timedOut, successful] : table) {
            for (const auto& previous : table) {
                CommandExchange exchange;
                exchange.SetMessageInProgress();
                exchange.PutMessageStatus(std::get<0>(previous));
                exchange.SetMessageInProgress();
                QVERIFY(!exchange.GetMessageSuccessful()); // never while in progress
                exchange.PutMessageStatus(status);
                QVERIFY(!exchange.GetMessageInProgress());
                QCOMPARE(exchange.GetMessageFailed(), failed);
                QCOMPARE(exchange.GetMessageTimedOut(), timedOut);
                QCOMPARE(exchange.GetMessageSuccessful(), successful);
            }
        }
    }

    void onlyTheFirstStatusCounts() {
        CommandExchange exchange;
        QSignalSpy completions(&exchange, &CommandExchange::completed);
        exchange.SetMessageInProgress();
        exchange.PutCommandOKFromTgt(true);
        exchange.PutMessageStatus(CompletionStatus::NoResponse); // the late time-out
        exchange.PutCommandOKFromTgt(false);                     // an unsolicited refusal
        QVERIFY(exchange.GetMessageSuccessful());
        QCOMPARE(completions.size(), 1);
    }

    void statusWithNothingInProgressIsIgnored() {
        CommandExchange exchange;
        exchange.PutMessageStatus(CompletionStatus::Refused);
        QVERIFY(!exchange.GetMessageFailed());
        QVERIFY(exchange.GetMessageSuccessful());
    }

    void waitEndsOnCompletion() {
        CommandExchange exchange;
        exchange.SetMessageInProgress();
        QTimer::singleShot(50, &exchange, [&] { exchange.PutCommandOKFromTgt(false); });
        QElapsedTimer clock;
        clock.start();
        exchange.WaitWhileInProgress();
        QVERIFY(!exchange.GetMessageInProgress());
        QVERIFY(exchange.GetMessageFailed());
        QVERIFY(clock.elapsed() < 1000);
    }

    void secondOperationIsRefusedWhileOneRuns() {
        CommandExchange exchange;
        QSignalSpy activity(&exchange, &CommandExchange::operationActiveChanged);
        {
            const OperationScope first(exchange);
            QVERIFY(first.granted());
            QVERIFY(exchange.operationActive());
            const OperationScope second(exchange);
            QVERIFY(!second.granted());
            QVERIFY(exchange.operationActive()); // the refused one does not end the first
        }
        QVERIFY(!exchange.operationActive());
        QCOMPARE(activity.size(), 2);
        QCOMPARE(activity.at(0).at(0).toBool(), true);
        QCOMPARE(activity.at(1).at(0).toBool(), false);
        const OperationScope third(exchange);
        QVERIFY(third.granted());
    }
};

QTEST_GUILESS_MAIN(TestCommandExchange)
#include "tst_CommandExchange.moc"

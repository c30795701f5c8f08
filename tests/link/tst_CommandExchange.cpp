#include "CommandExchange.h"

#include <QtTest>

Q_DECLARE_METATYPE(CompletionStatus)

class TestCommandExchange : public QObject {
    Q_OBJECT
private slots:
    void completionFlags_data() {
        QTest::addColumn<CompletionStatus>("status");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<bool>("successful");
        QTest::newRow("0 refused") << CompletionStatus::Refused << true << false << false;
        QTest::newRow("1 OK") << CompletionStatus::OK << false << false << true;
        QTest::newRow("2 no response") << CompletionStatus::NoResponse << false << true << false;
        // A damaged reply must never read as success.
        QTest::newRow("3 comms error") << CompletionStatus::CommsError << true << false << false;
    }
    void completionFlags() {
        QFETCH(CompletionStatus, status);
        QFETCH(bool, failed);
        QFETCH(bool, timedOut);
        QFETCH(bool, successful);
        // Start from the opposite of the expected flags to see each one set and cleared.
        for (CompletionStatus previous :
             {CompletionStatus::Refused, CompletionStatus::NoResponse, CompletionStatus::OK}) {
            CommandExchange exchange;
            exchange.SetMessageInProgress();
            exchange.PutMessageStatus(previous);
            exchange.SetMessageInProgress();
            QVERIFY(!exchange.GetMessageSuccessful()); // never while in progress
            exchange.PutMessageStatus(status);
            QVERIFY(!exchange.GetMessageInProgress());
            QCOMPARE(exchange.GetMessageFailed(), failed);
            QCOMPARE(exchange.GetMessageTimedOut(), timedOut);
            QCOMPARE(exchange.GetMessageSuccessful(), successful);
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

    void waitReturnsAtOnceWhenIdle() {
        CommandExchange exchange;
        exchange.WaitWhileInProgress(); // would hang if it waited for a completion
        QVERIFY(!exchange.GetMessageInProgress());
    }

    void abandonedWaitEndsAsNotAnswered() {
        CommandExchange exchange;
        exchange.SetMessageInProgress();
        QTimer::singleShot(0, &exchange, [&] { exchange.AbandonWait(); });
        exchange.WaitWhileInProgress();
        QVERIFY(exchange.GetMessageTimedOut());
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

#include "ReplyReceiver.h"

#include <QtTest>

namespace {
// Hex of a data reply: sync, code, data, correct checksum.
QByteArray dataReply(quint8 code, const QByteArray& data, int checksumError = 0) {
    QByteArray body;
    body.append(static_cast<char>(code));
    body.append(data);
    quint8 sum = 0;
    for (char c : body)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    return QByteArray(1, 0x5A) + body + QByteArray(1, static_cast<char>(sum + checksumError));
}

QByteArray identityData(char fill = 0x11) {
    return QByteArray(28, fill);
}

// What the receiver reports, as text: "ack", "nak", "data <code> <first data byte>", "bad".
struct Recorder {
    explicit Recorder(ReplyReceiver& rx) {
        QObject::connect(&rx, &ReplyReceiver::commandAcknowledged,
                         [this](bool ok) { events << (ok ? "ack" : "nak"); });
        QObject::connect(&rx, &ReplyReceiver::dataReplyReceived, [this](const RxMsg& f) {
            events << QStringLiteral("data %1 %2").arg(f[0]).arg(f[1]);
        });
        QObject::connect(&rx, &ReplyReceiver::checksumFailed, [this] { events << "bad"; });
    }
    QStringList events;
};
} // namespace

class TestReplyReceiver : public QObject {
    Q_OBJECT
private slots:
    void sequences_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("accepted") << QByteArray::fromHex("5a5b") << QStringList{"ack"};
        QTest::newRow("refused") << QByteArray::fromHex("5aab") << QStringList{"nak"};
        QTest::newRow("stray bytes before an ack") << QByteArray::fromHex("00ff135a5b") << QStringList{"ack"};
        QTest::newRow("unknown code then ack") << QByteArray::fromHex("5a40 5a5b") << QStringList{"ack"};
        QTest::newRow("unknown code drops what follows") << QByteArray::fromHex("5a40 5b") << QStringList{};
        QTest::newRow("identity") << dataReply(32, identityData()) << QStringList{"data 32 17"};
        QTest::newRow("identity after garbage")
            << QByteArray::fromHex("00ff13") + dataReply(32, identityData()) << QStringList{"data 32 17"};
        QTest::newRow("0x5A inside data") << dataReply(32, identityData(0x5A)) << QStringList{"data 32 90"};
        QTest::newRow("identity with bad checksum") << dataReply(32, identityData(), 1) << QStringList{"bad"};
        QTest::newRow("page") << dataReply(33, QByteArray(264, 0x22)) << QStringList{"data 33 34"};
        QTest::newRow("page with bad checksum")
            << dataReply(33, QByteArray(264, 0x22), 7) << QStringList{"bad"};
        QTest::newRow("doubled sync drops the frame")
            << QByteArray::fromHex("5a") + dataReply(32, identityData(0x01)) << QStringList{};
        QTest::newRow("doubled sync, then a good frame")
            << QByteArray::fromHex("5a") + dataReply(32, identityData(0x01)) + QByteArray::fromHex("5a5b")
            << QStringList{"ack"};
        QTest::newRow("two replies back to back")
            << QByteArray::fromHex("5a5b") + dataReply(32, identityData())
            << QStringList{"ack", "data 32 17"};
    }

    // Every sequence gives the same result whether it arrives at once or one
    // byte at a time.
    void sequences() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, events);

        ReplyReceiver whole;
        Recorder wholeEvents(whole);
        whole.ProcessInputBytes(input);
        QCOMPARE(wholeEvents.events, events);

        ReplyReceiver single;
        Recorder singleEvents(single);
        for (char c : input)
            single.ProcessInputByte(static_cast<quint8>(c));
        QCOMPARE(singleEvents.events, events);
    }

    void silenceInsideAFrameDropsIt() {
        ReplyReceiver rx;
        Recorder recorder(rx);
        const QByteArray frame = dataReply(33, QByteArray(264, 0x22));
        rx.ProcessInputBytes(frame.left(100));
        QSignalSpy silence(&rx.RxTimeout, &QTimer::timeout);
        QVERIFY(silence.wait(1000));
        QVERIFY(!rx.inSync());
        // The rest of the old frame is noise; the next whole frame is received.
        rx.ProcessInputBytes(frame.mid(100));
        rx.ProcessInputBytes(frame);
        QCOMPARE(recorder.events, QStringList{"data 33 34"});
    }

    void commsGoodAfterFirstGoodChecksum() {
        ReplyReceiver rx;
        QVERIFY(!rx.GetCommsGood());
        rx.ProcessInputBytes(QByteArray::fromHex("5a5b"));
        QVERIFY(!rx.GetCommsGood()); // an acknowledgement has no checksum
        rx.ProcessInputBytes(dataReply(32, identityData(), 1));
        QVERIFY(!rx.GetCommsGood());
        rx.ProcessInputBytes(dataReply(32, identityData()));
        QVERIFY(rx.GetCommsGood());
        rx.ProcessInputBytes(dataReply(32, identityData(), 1));
        QVERIFY(rx.GetCommsGood());
    }

    // A frame that completes while the previous one is still being handled
    // (a consumer that lets events run) is dropped, not nested.
    void frameDuringHandlingIsDropped() {
        ReplyReceiver rx;
        int handled = 0;
        connect(&rx, &ReplyReceiver::dataReplyReceived, this, [&](const RxMsg&) {
            ++handled;
            if (handled == 1)
                rx.ProcessInputBytes(dataReply(32, identityData()));
        });
        rx.ProcessInputBytes(dataReply(32, identityData()));
        QCOMPARE(handled, 1);
    }
};

QTEST_GUILESS_MAIN(TestReplyReceiver)
#include "tst_ReplyReceiver.moc"

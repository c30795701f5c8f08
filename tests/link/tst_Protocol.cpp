// The protocol without a line: the bytes a command puts on it, what the
// receiver makes of the bytes that come back, and which report completes
// which command.

#include "CommandExchange.h"
#include "Frames.h"
#include "LineSettings.h"
#include "ReplyReceiver.h"
#include "TestKit.h"

#include <QSerialPort>

namespace {
// A data reply: sync, code, data, checksum (off by `checksumError`).
QByteArray dataReply(quint8 code, const QByteArray& data, int checksumError = 0) {
    const QByteArray body = char(code) + data;
    quint8 sum = 0;
    for (char c : body)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    return "\x5a" + body + char(sum + checksumError);
}
QByteArray identityReply(char fill = 0x11, int checksumError = 0) {
    return dataReply(32, QByteArray(28, fill), checksumError);
}
const QByteArray kAck = QByteArray::fromHex("5a5b"), kPage = dataReply(33, QByteArray(264, 0x22));

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

// One report from the link, named as in the tables.
bool report(CommandExchange& exchange, const QString& what) {
    if (what == "ack 91" || what == "ack 171")
        return exchange.PutCommandOKFromTgt(what == "ack 91");
    if (what == "identity" || what == "page")
        return exchange.putDataReply(what == "page" ? ReplyKind::EncryptedPage : ReplyKind::Identity);
    if (what == "damaged")
        return exchange.putDamagedReply();
    if (what == "link time-out")
        return exchange.putLinkTimeout();
    if (what == "own deadline")
        return exchange.putOwnDeadline();
    if (what == "write failure")
        return exchange.putWriteFailure();
    qFatal("unknown report %s", qPrintable(what));
}

struct SequenceRow {
    const char* name;
    QByteArray input;
    QStringList events;
};
} // namespace
Q_DECLARE_METATYPE(SequenceRow)

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    // A settings text as the port takes it: speed, parity, data and stop bits.
    void lineSettings_data() {
        addRows({"bootloader | 115200,N,8,1 | 115200 N 8 1", "application | 38400,n,8,1 | 38400 N 8 1",
                 "even, seven, two | 9600,E,7,2 | 9600 E 7 2", "odd | 19200,O,8,1 | 19200 O 8 1",
                 "unknown parity | 9600,M,8,1 | refused", "nine data bits | 9600,N,9,1 | refused",
                 "three fields | 9600,N,8 | refused", "no speed | x,N,8,1 | refused"});
    }
    void lineSettings() {
        const auto [settings, port] = fields<2>();
        QSerialPort serial;
        const bool taken = LineSettings::apply(serial, settings);
        QCOMPARE(taken ? QStringLiteral("%1 %2 %3 %4")
                             .arg(serial.baudRate())
                             .arg(QStringLiteral("N-EOSM").at(serial.parity()))
                             .arg(serial.dataBits())
                             .arg(serial.stopBits() == QSerialPort::TwoStop ? 2 : 1)
                       : QStringLiteral("refused"),
                 port);
    }

    // The frames of every command are checked where the commands are sent; these are the edges.
    void commandFrameEdges() {
        const auto encode = [](std::initializer_list<qint16> elements, int bytesToSend) {
            OutMsg m{};
            std::copy(elements.begin(), elements.end(), m.begin());
            return Frame::encode(m, bytesToSend).toHex();
        };
        QCOMPARE(encode({17, 0x1234}, 3), "5a113445");               // only the low byte of an element
        QCOMPARE(encode({19, 0x5A, 0x5A}, 4), "5a135a5ac7");         // 0x5A in data is not escaped
        QCOMPARE(encode({16}, 1) + encode({16}, 403), QByteArray()); // below 2, beyond the buffer: nothing
    }

    void sequences_data() {
        addRows<SequenceRow>(
            {{"accepted", kAck, {"ack"}},
             {"refused", QByteArray::fromHex("5aab"), {"nak"}},
             {"stray bytes before an ack", QByteArray::fromHex("00ff13") + kAck, {"ack"}},
             {"unknown code then ack", QByteArray::fromHex("5a40") + kAck, {"ack"}},
             {"unknown code drops what follows", QByteArray::fromHex("5a405b"), {}},
             {"identity", identityReply(), {"data 32 17"}},
             {"identity after garbage", QByteArray::fromHex("00ff13") + identityReply(), {"data 32 17"}},
             {"0x5A inside data", identityReply(0x5A), {"data 32 90"}},
             {"identity with bad checksum", identityReply(0x11, 1), {"bad"}},
             {"page", kPage, {"data 33 34"}},
             {"page with bad checksum", dataReply(33, QByteArray(264, 0x22), 7), {"bad"}},
             {"doubled sync drops the frame", "\x5a" + identityReply(0x01), {}},
             {"doubled sync, then a good frame", "\x5a" + identityReply(0x01) + kAck, {"ack"}},
             {"two replies back to back", kAck + identityReply(), {"ack", "data 32 17"}}});
    }
    // Every sequence gives the same result whether it arrives at once or one
    // byte at a time.
    void sequences() {
        QFETCH(SequenceRow, row);
        ReplyReceiver whole, single;
        Recorder wholeEvents(whole), singleEvents(single);
        whole.ProcessInputBytes(row.input);
        for (char c : row.input)
            single.ProcessInputByte(static_cast<quint8>(c));
        QCOMPARE(wholeEvents.events, row.events);
        QCOMPARE(singleEvents.events, row.events);
    }

    void silenceInsideAFrameDropsIt() {
        ReplyReceiver rx;
        Recorder recorder(rx);
        rx.ProcessInputBytes(kPage.left(100));
        rx.RxTimeout_Timer(); // 200 ms without a byte
        QVERIFY(!rx.inSync());
        rx.ProcessInputBytes(kPage.mid(100) + kPage); // the rest of the old frame is noise
        QCOMPARE(recorder.events, QStringList{"data 33 34"});
    }

    // A frame that completes while the previous one is still being handled
    // (a consumer that lets events run) is dropped, not nested.
    void frameDuringHandlingIsDropped() {
        ReplyReceiver rx;
        int handled = 0;
        connect(&rx, &ReplyReceiver::dataReplyReceived, this, [&](const RxMsg&) {
            if (++handled == 1)
                rx.ProcessInputBytes(identityReply());
        });
        rx.ProcessInputBytes(identityReply());
        QCOMPARE(handled, 1);
    }

    // Which report completes which command, and how it ends: a page request
    // runs to its own deadline. "-": the command is still in progress. Each
    // row runs after a command that was refused and after one whose write
    // failed: a completion leaves nothing of an earlier one.
    void completion_data() {
        // clang-format off
        addRows({"ack completes an ack command | ack | ack 91 | succeeded",
                 "refusal completes an ack command | ack | ack 171 | refused",
                 "stray identity leaves an ack command | ack | identity | -",
                 "stray page leaves an ack command | ack | page | -",
                 "damaged data leaves an ack command | ack | damaged | -",
                 "time-out ends an ack command | ack | link time-out | no response",
                 "write failure ends an ack command | ack | write failure | port error",
                 "identity completes an identity request | identity | identity | succeeded",
                 "ack leaves an identity request | identity | ack 91 | -",
                 "refusal completes an identity request | identity | ack 171 | refused",
                 "stray page leaves an identity request | identity | page | -",
                 "damaged reply fails an identity request | identity | damaged | refused",
                 "page completes a page request | page | page | succeeded",
                 "stray identity leaves a page request | page | identity | -",
                 "ack leaves a page request | page | ack 91 | -",
                 "link time-out leaves an own deadline | page | link time-out | -",
                 "own deadline ends a page request | page | own deadline | no response"});
        // clang-format on
    }
    void completion() {
        const auto [awaited, reported, outcome] = fields<3>();
        for (const QString previous : {"ack 171", "write failure"}) {
            CommandExchange exchange;
            exchange.SetMessageInProgress(ReplyKind::Acknowledgement);
            report(exchange, previous);
            QSignalSpy completions(&exchange, &CommandExchange::completed);
            exchange.SetMessageInProgress(awaited == "ack"    ? ReplyKind::Acknowledgement
                                          : awaited == "page" ? ReplyKind::EncryptedPage
                                                              : ReplyKind::Identity,
                                          awaited == "page" ? Deadline::Own : Deadline::Link);
            const bool completed = outcome != "-";
            QCOMPARE(report(exchange, reported), completed);
            QCOMPARE(exchange.GetMessageInProgress(), !completed);
            QCOMPARE(completions.size(), completed ? 1 : 0);
            if (!completed)
                continue;
            // Only the first report counts: not a late time-out, nor an unsolicited refusal.
            QVERIFY(!report(exchange, "link time-out") && !report(exchange, "ack 171") &&
                    completions.size() == 1);
            QCOMPARE(QString(outcomeName(exchange.waitForOutcome())).replace('-', ' '), outcome);
        }
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_Protocol.moc"

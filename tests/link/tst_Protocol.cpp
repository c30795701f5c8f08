// The link's logic on an in-memory line to the virtual module's engine: the
// bytes a command puts on the line, which reply completes which command and
// how, damaged, doubled and late replies, replies handed over whole and a
// byte at a time. What only a real line shows is tst_CommsLink's.

#include "MemoryTransport.h"
#include "ModuleRig.h"

namespace {
// Replies are in the line at once, so the time-outs can be short.
constexpr LinkTimings kTimings{.replyTimeoutMs = 60, .resetBaudDelayMs = 20};
constexpr int kOwnDeadlineMs = 120; // a page request's, as the capture's page timer

// The link on an open in-memory line.
struct MemoryRig {
    MemoryRig() { link.openDevice(MemoryTransport::kDevice); }

    RecordingReporter sink;
    Reporter report{sink};
    CommandExchange exchange;
    MemoryTransport line;
    CommsLink link{exchange, report, line, kTimings};
    ModuleEngine& module = line.module;
};

// The module's part in a row: faults by their names in the virtual module's
// options, "pulled" for a module gone before the command is written, and hex
// for bytes that go before its reply.
void prepare(MemoryRig& rig, int code, const QString& words) {
    for (const QString& word : words.split(' ', Qt::SkipEmptyParts)) {
        if (const auto planned = parseFaultPlan(QStringLiteral("%1:*:%2").arg(code).arg(word)))
            rig.module.faults.plan(*planned);
        else if (word == "pulled")
            rig.line.pullCable();
        else
            rig.module.faults.garbage += QByteArray::fromHex(word.toLatin1());
    }
}
} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    // A settings text as the port takes it: speed, parity, data and stop bits.
    void lineSettings_data() {
        addRows({"bootloader | 115200,N,8,1 | 115200 N 8 1", "application | 38400,n,8,1 | 38400 N 8 1",
                 "even, seven, two | 9600,E,7,2 | 9600 E 7 2", "unknown parity | 9600,M,8,1 | refused"});
    }
    void lineSettings() {
        const auto [settings, expected] = fields<2>();
        const auto line = LineSettings::parse(settings);
        QCOMPARE(line ? QStringLiteral("%1 %2 %3 %4")
                            .arg(line->baud)
                            .arg(QStringLiteral("N-EOSM").at(line->parity))
                            .arg(line->dataBits)
                            .arg(line->stopBits == QSerialPort::TwoStop ? 2 : 1)
                      : QStringLiteral("refused"),
                 expected);
    }

    // A command (its code), the reply it awaits, what the module does, and
    // how the transaction ends: its outcome, the code of the reply that
    // completed it, and "+identity", "+page" for each data reply handed to
    // its consumer. A page request runs to its own deadline. Every row gives
    // the same whether the line hands its bytes over whole or one by one, and
    // leaves nothing behind for the next command, which the module refuses.
    void replies_data() {
        // clang-format off
        addRows({"accepted | 11 | ack | | succeeded 5b",
                 "refused | 11 | ack | refuse | refused ab",
                 "stray bytes before the ack | 11 | ack | garbage | succeeded 5b",
                 "unknown code before the ack | 11 | ack | 5a40 | succeeded 5b",
                 "doubled sync drops the ack | 11 | ack | 5a | no-response",
                 "doubled sync, then the ack again | 11 | ack | 5a double-ack | succeeded 5b",
                 "ack twice | 11 | ack | double-ack | succeeded 5b",
                 "ack after the time-out | 11 | ack | delay=100 | no-response",
                 "no reply | 11 | ack | no-reply | no-response",
                 "module gone before the write | 11 | ack | pulled | port-error",
                 "stray identity leaves an ack command | 10 | ack | | no-response +identity",
                 "stray page leaves an ack command | 14 | ack | | no-response +page",
                 "damaged data leaves an ack command | 10 | ack | bad-checksum | no-response",
                 "identity, 0x5A inside it | 10 | identity | | succeeded 20 +identity",
                 "identity after stray bytes | 10 | identity | garbage | succeeded 20 +identity",
                 "ack before the identity | 10 | identity | 5a5b | succeeded 20 +identity",
                 "identity twice | 10 | identity | double-ack | succeeded 20 +identity +identity",
                 "identity refused | 10 | identity | refuse | refused ab",
                 "damaged identity | 10 | identity | bad-checksum | refused",
                 "ack leaves an identity request | 11 | identity | | no-response",
                 "stray page leaves an identity request | 14 | identity | | no-response +page",
                 "damaged page fails an identity request | 14 | identity | bad-checksum | refused",
                 "page | 14 | page | | succeeded 21 +page",
                 "damaged page | 14 | page | bad-checksum | refused",
                 "page request refused | 14 | page | refuse | refused ab",
                 "stray identity leaves a page request | 10 | page | | no-response +identity",
                 "ack leaves a page request | 11 | page | | no-response"});
        // clang-format on
    }
    void replies() {
        const auto [command, awaited, module, expected] = fields<4>();
        const int code = command.toInt(nullptr, 16);
        const ReplyKind kind = awaited == "ack"    ? ReplyKind::Acknowledgement
                               : awaited == "page" ? ReplyKind::EncryptedPage
                                                   : ReplyKind::Identity;
        for (const bool byteByByte : {false, true}) {
            MemoryRig rig;
            rig.line.byteByByte = byteByByte;
            prepare(rig, code, module);
            QString handedOn;
            connect(&rig.link, &CommsLink::identityReplyReceived, this, [&] { handedOn += " +identity"; });
            connect(&rig.link, &CommsLink::encryptedPageReceived, this, [&] { handedOn += " +page"; });
            QByteArray sent;
            connect(&rig.module, &ModuleEngine::replySent, this,
                    [&](const QByteArray& frame) { sent = frame; });
            QSignalSpy completions(&rig.exchange, &CommandExchange::completed);
            QTimer ownDeadline;
            ownDeadline.setInterval(kOwnDeadlineMs);
            ownDeadline.setTimerType(Qt::PreciseTimer);

            Exchanged result;
            const qint64 elapsed = msToRun([&] {
                result = rig.link.transact(Message({qint16(code)}), code == 0x14 ? 10 : 2, kind,
                                           kind == ReplyKind::EncryptedPage ? &ownDeadline : nullptr);
            });
            while (!rig.line.idle()) // until all the module sent is handed over
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const quint8 replyCode = quint8(result.reply[0]);
            QCOMPARE(outcomeName(result) +
                         (replyCode ? QStringLiteral(" %1").arg(uint(replyCode), 2, 16) : "") + handedOn,
                     expected);
            QCOMPARE(completions.size(), 1); // only the first report counts
            const auto sameByte = [](char sentByte, qint16 received) { return quint8(sentByte) == received; };
            QVERIFY(replyCode < 0x20 ||
                    std::equal(sent.begin() + 1, sent.end(), result.reply.begin(), sameByte));
            if (result.outcome == Outcome::NoResponse) // the link's time-out, or the page's own deadline
                QVERIFY_BETWEEN(elapsed,
                                kind == ReplyKind::EncryptedPage ? kOwnDeadlineMs : kTimings.replyTimeoutMs,
                                2000);
            if (result.outcome == Outcome::PortError)
                continue;
            rig.module.faults = {};
            rig.module.faults.refused = {17};
            QCOMPARE(rig.link.transact(Message({17}), 2, ReplyKind::Acknowledgement).outcome,
                     Outcome::Refused);
        }
    }

    // A reply that completes while the one before it is still being handled
    // (by a consumer that lets events run) is dropped, not nested.
    void replyDuringHandlingIsDropped() {
        MemoryRig rig;
        QByteArray sent;
        connect(&rig.module, &ModuleEngine::replySent, this, [&](const QByteArray& frame) { sent = frame; });
        int handled = 0;
        connect(&rig.link, &CommsLink::identityReplyReceived, this, [&] {
            if (++handled > 1)
                return;
            rig.line.sendRaw(QByteArray(1, '\0') + sent); // a stray byte, then the same reply
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
        QCOMPARE(rig.link.transact(Message({16}), 2, ReplyKind::Identity).outcome, Outcome::Succeeded);
        QCOMPARE(handled, 1);
    }

    // A speed the port refuses is neither kept nor announced, nor brought
    // back by the next open.
    void refusedSpeed() {
        MemoryRig rig;
        rig.line.refusedBauds = {38400};
        QSignalSpy announced(&rig.link, &CommsLink::settingsChanged);
        rig.link.setApplicationSpeed();
        rig.link.openDevice(MemoryTransport::kDevice);
        QCOMPARE(join(rig.link.settings(), rig.line.baud(), announced.size()), "115200,N,8,1 | 115200 | 0");
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_Protocol.moc"

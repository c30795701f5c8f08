#include "ModuleFaults.h"
#include "ModuleModel.h"
#include "ModuleRig.h"
#include "VirtualModule.h"

#include <fcntl.h>
#include <unistd.h>

namespace {
// System 1 (or another), sub-system 10, serial 4660 (SerL 34, SerH 12), ID bytes 11 22 33.
ModuleModel sampleModule(quint8 system = 1) {
    ModuleModel model;
    model.identity.system = system;
    model.identity.idBytes = {0x11, 0x22, 0x33};
    return model;
}

// Hands the model one command, written as code and data in hex; the reply as it goes on the line.
QByteArray command(ModuleModel& model, const QString& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    return model.answer(static_cast<quint8>(bytes[0]), bytes.mid(1)).frame();
}

// The 264 bytes of the module's encrypted page reply 5A 21 ... checksum.
QByteArray pageRecord(ModuleModel& master, const QString& requestHex) {
    return command(master, "14" + requestHex).mid(2, 264);
}

// The tool's end of the line, opened with plain POSIX calls. What the module
// sends is collected while the event loop runs, with the time it came.
struct ToolEnd {
    explicit ToolEnd(const QString& device)
        : fd(::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)),
          readable(fd, QSocketNotifier::Read) {
        clock.start();
        QObject::connect(&readable, &QSocketNotifier::activated, [this] {
            char buffer[512];
            for (ssize_t n = 0; (n = ::read(fd, buffer, sizeof buffer)) > 0;
                 lastArrivalNs = clock.nsecsElapsed())
                received.append(buffer, n);
        });
    }
    ~ToolEnd() {
        readable.setEnabled(false);
        ::close(fd);
    }
    bool write(const QByteArray& bytes) {
        return ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Runs the event loop, and so the module, until that many bytes are in.
    bool waitForBytes(qsizetype count) {
        QSignalSpy activated(&readable, &QSocketNotifier::activated);
        for (const QDeadlineTimer deadline(2000); received.size() < count && !deadline.hasExpired();)
            activated.wait(static_cast<int>(deadline.remainingTime()));
        return received.size() >= count;
    }

    const int fd;
    QSocketNotifier readable;
    QElapsedTimer clock;
    QByteArray received;
    qint64 lastArrivalNs = 0;
};
} // namespace

class TestVirtualModule : public QObject {
    Q_OBJECT
private slots:
    // Erase, ID block write, wipe and restore, as the identity reply then
    // shows them: commands, last reply, ID block, backup block, last error,
    // memory erased. W is the block 5a010b7856445566 written, O the module's own.
    void idBlockAndMemory_data() {
        addRows({"erase empties memory, keeps the ID block | 11 | 5a5b | O | O | 0 | erased",
                 "ID block write reaches identity and backup | 13W | 5a5b | W | W | 0 | kept",
                 "locked ID block refuses the write | 13W | 5aab | O | O | 7 | kept",
                 "wipe erases memory and ID block, keeps the backup | 1a | 5a5b | ffffffffffffffff | O | 0 | "
                 "erased",
                 "restore after a wipe brings the serial back | 1a 17 | 5a5b | O | O | 0 | erased",
                 "restore brings back the last block written | 13W 1a 17 | 5a5b | W | W | 0 | erased"});
    }
    void idBlockAndMemory() {
        auto row = fields<6>();
        for (QString& field : row)
            field.replace("W", "5a010b7856445566").replace("O", "5a010a3412112233");
        const auto& [commands, lastReply, idBlock, backup, lastError, memory] = row;
        ModuleModel model = sampleModule();
        QVERIFY(model.setMemory(randomMemory(1)));
        model.setIdLocked(QTest::currentDataTag() == QByteArray("locked ID block refuses the write"));
        QByteArray reply;
        for (const QString& c : commands.split(' '))
            reply = command(model, c);
        const QByteArray identity = command(model, "10"); // 5A 20, last error, ID block, ...
        const ModuleIdBlock copy = model.backupIdBlock();
        QCOMPARE(join(reply.toHex(), identity.mid(3, 8).toHex(),
                      QByteArray(reinterpret_cast<const char*>(copy.data()), 8).toHex(),
                      int(quint8(identity[2])),
                      model.memory() == QByteArray(65536, '\xff') ? "erased" : "kept"),
                 join(lastReply, idBlock, backup, lastError, memory));
    }

    // What a module checks before it programs a page record; the target is
    // sub-system 10, serial 0x1234. The request of command 20: Sys ID SerL
    // SerH Mask #1 page, 0; a record byte changed on the way; reply; last error.
    void programPage_data() {
        // clang-format off
        addRows({"matching record | 010a3412ff000500 | -1 | 5a5b | 0",
                 "last page | 010a34120000ff00 | -1 | 5a5b | 0",
                 "damaged page byte | 010a3412ff000500 | 100 | 5aab | 6",
                 "damaged header byte | 010a3412ff000500 | 1 | 5aab | 6",
                 "for another system | 020a341200000500 | -1 | 5aab | 3",
                 "sub 0x00 takes any | 0163341200000500 | -1 | 5a5b | 0",
                 "sub 0x10, module equal | 010a341210000500 | -1 | 5a5b | 0",
                 "sub 0x10, module below | 010b341210000500 | -1 | 5aab | 4",
                 "sub 0x20, module equal | 010a341220000500 | -1 | 5a5b | 0",
                 "sub 0x20, module above | 0109341220000500 | -1 | 5aab | 4",
                 "sub 0xF0, module other | 010b3412f0000500 | -1 | 5aab | 4",
                 "sub 0x30 takes none | 010a341230000500 | -1 | 5aab | 4",
                 "serial 0x01, module equal | 010a341201000500 | -1 | 5a5b | 0",
                 "serial 0x01, module below | 010a351201000500 | -1 | 5aab | 5",
                 "serial 0x01 weighs SerH | 010a351101000500 | -1 | 5a5b | 0",
                 "serial 0x02, module above | 010a331202000500 | -1 | 5aab | 5",
                 "serial 0x0F, module other | 010a35120f000500 | -1 | 5aab | 5",
                 "serial 0x03 takes none | 010a341203000500 | -1 | 5aab | 5"});
        // clang-format on
    }
    void programPage() {
        const auto [request, damageAt, reply, lastError] = fields<4>();
        ModuleModel master = sampleModule();
        QVERIFY(master.setMemory(randomMemory(2)));
        ModuleModel target = sampleModule();
        QByteArray record = pageRecord(master, request);
        if (damageAt.toInt() >= 0)
            record[damageAt.toInt()] = static_cast<char>(record[damageAt.toInt()] ^ 0x40);
        QCOMPARE(command(target, "12" + record.toHex()).toHex(), reply.toLatin1());
        QCOMPARE(QString::number(target.identity.lastError), lastError);
        const int at = quint8(QByteArray::fromHex(request.toLatin1()).at(6)) * 256;
        const QByteArray written = lastError == "0" ? master.memory().mid(at, 256) : QByteArray(256, '\xff');
        QCOMPARE(target.memory().mid(at, 256).toHex(), written.toHex());
    }

    void plannedFaultByOccurrence_data() {
        addRows({"refused | 19:2:refuse | 5a5b5aab5a5b", "not answered | 19:2:no-reply | 5a5b5a5b",
                 "doubled | 19:2:double-ack | 5a5b5a5b5a5b5a5b",
                 "garbage before | 19:2:garbage | 5a5b00ff135a5b5a5b",
                 "every one refused | 19:*:refuse | 5aab5aab5aab",
                 "planned for another code | 16:2:refuse | 5a5b5a5b5a5b"});
    }
    void plannedFaultByOccurrence() {
        const auto [fault, replies] = fields<2>();
        VirtualModule module;
        QVERIFY(module.start());
        const auto planned = parseFaultPlan(fault);
        QVERIFY(planned);
        module.faults.plan(*planned);
        ToolEnd tool(module.devicePath());
        QVERIFY(tool.fd >= 0);
        QVERIFY(tool.write(QByteArray::fromHex("5a135a010a341211223324").repeated(3)));
        QVERIFY(tool.waitForBytes(replies.size() / 2));
        QCOMPARE(tool.received.toHex(), replies.toLatin1());
    }

    // The acknowledgement to a page frame comes when the frame and the reply
    // would have crossed a 115200 8N1 line (86.8 us a byte), plus the adapter's latency.
    void lineRateTiming_data() { addRows({"paced line | 0", "adapter latency 5 ms | 5"}); }
    void lineRateTiming() {
        const int latencyMs = fields<1>()[0].toInt();
        VirtualModule module;
        QVERIFY(module.start());
        module.identity = sampleModule().identity;
        module.faults.lineRate = true;
        module.faults.adapterLatencyMs = latencyMs;
        OutMsg frame{18};
        const QByteArray record = pageRecord(module.model(), "010a341200000700");
        std::copy(record.begin(), record.end(), frame.begin() + 1);
        ToolEnd tool(module.devicePath());
        const qint64 sentNs = tool.clock.nsecsElapsed();
        QVERIFY(tool.write(Frame::encode(frame, 266))); // 267 bytes
        QVERIFY(tool.waitForBytes(2));
        QCOMPARE(tool.received.toHex(), "5a5b");
        const qint64 earliestNs = (267 + 2) * 86'806 + latencyMs * 1'000'000LL;
        QVERIFY_BETWEEN(tool.lastArrivalNs - sentNs, earliestNs, earliestNs + 100'000'000);
    }
};

QTEST_GUILESS_MAIN(TestVirtualModule)
#include "tst_VirtualModule.moc"

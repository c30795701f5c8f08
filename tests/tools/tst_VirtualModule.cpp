#include "ModuleFaults.h"
#include "ModuleModel.h"
#include "VirtualModule.h"

#include <QRandomGenerator>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {
// System 1, sub-system 10, serial 4660 (SerL 34, SerH 12), ID bytes 11 22 33.
ModuleModel sampleModule(quint8 system = 1) {
    ModuleModel model;
    model.identity.init = 0x5A;
    model.identity.system = system;
    model.identity.subsystem = 10;
    model.identity.serial = 0x1234;
    model.identity.idBytes = {0x11, 0x22, 0x33};
    return model;
}

QByteArray noise(quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(ModuleModel::kMemorySize, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random.bounded(256));
    return bytes;
}

// Hands the model one command, written as code and data in hex; the reply as it goes on the line.
QByteArray command(ModuleModel& model, const QByteArray& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    return model.answer(static_cast<quint8>(bytes[0]), bytes.mid(1)).frame();
}

// The 264 bytes of the module's encrypted page reply 5A 21 ... checksum.
QByteArray pageRecord(ModuleModel& master, const QByteArray& requestHex) {
    return command(master, "14" + requestHex).mid(2, 264);
}

QByteArray page(const QByteArray& memory, int index) {
    return memory.mid(index * 256, 256);
}

QByteArray framed(const QByteArray& codeAndData) {
    quint8 sum = 0;
    for (char c : codeAndData)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    return "\x5a" + codeAndData + static_cast<char>(sum);
}

// The tool's end of the line, opened with plain POSIX calls. What the module
// sends is collected while the event loop runs, with the time it came.
class ToolEnd {
public:
    explicit ToolEnd(const QString& device)
        : Fd(::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)),
          Readable(Fd, QSocketNotifier::Read) {
        Clock.start();
        QObject::connect(&Readable, &QSocketNotifier::activated, [this] { collect(); });
    }
    ~ToolEnd() {
        Readable.setEnabled(false);
        ::close(Fd);
    }
    bool isOpen() const { return Fd >= 0; }
    qint64 nowNs() const { return Clock.nsecsElapsed(); }
    bool write(const QByteArray& bytes) {
        return ::write(Fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Runs the event loop, and so the module, until that many bytes are in.
    bool waitForBytes(qsizetype count) {
        QSignalSpy activated(&Readable, &QSocketNotifier::activated);
        const QDeadlineTimer deadline(2000);
        while (received.size() < count && !deadline.hasExpired())
            activated.wait(static_cast<int>(deadline.remainingTime()));
        return received.size() >= count;
    }

    QByteArray received;
    qint64 lastArrivalNs = 0;

private:
    void collect() {
        char buffer[512];
        ssize_t n = 0;
        while ((n = ::read(Fd, buffer, sizeof buffer)) > 0) {
            received.append(buffer, n);
            lastArrivalNs = nowNs();
        }
    }

    int Fd;
    QSocketNotifier Readable;
    QElapsedTimer Clock;
};
} // namespace

class TestVirtualModule : public QObject {
    Q_OBJECT
private slots:
    // Erase, ID block write, wipe and restore, as the identity reply then shows them.
    void idBlockAndMemory_data() {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QByteArrayList>("commands");
        QTest::addColumn<QByteArray>("lastReply");
        QTest::addColumn<QByteArray>("idBlock");
        QTest::addColumn<QByteArray>("backup");
        QTest::addColumn<int>("lastError");
        QTest::addColumn<bool>("memoryErased");
        const QByteArray own = "5a010a3412112233";
        const QByteArray written = "5a010b7856445566";
        const QByteArray erased = "ffffffffffffffff";
        QTest::newRow("erase empties memory, keeps the ID block")
            << false << QByteArrayList{"11"} << QByteArray("5a5b") << own << own << 0 << true;
        QTest::newRow("ID block write reaches identity and backup")
            << false << QByteArrayList{"13" + written} << QByteArray("5a5b") << written << written << 0
            << false;
        QTest::newRow("locked ID block refuses the write")
            << true << QByteArrayList{"13" + written} << QByteArray("5aab") << own << own << 7 << false;
        QTest::newRow("wipe erases memory and ID block, keeps the backup")
            << false << QByteArrayList{"1a"} << QByteArray("5a5b") << erased << own << 0 << true;
        QTest::newRow("restore after a wipe brings the serial back")
            << false << QByteArrayList{"1a", "17"} << QByteArray("5a5b") << own << own << 0 << true;
        QTest::newRow("restore brings back the last block written")
            << false << QByteArrayList{"13" + written, "1a", "17"} << QByteArray("5a5b") << written << written
            << 0 << true;
    }
    void idBlockAndMemory() {
        QFETCH(bool, locked);
        QFETCH(QByteArrayList, commands);
        QFETCH(QByteArray, lastReply);
        QFETCH(QByteArray, idBlock);
        QFETCH(QByteArray, backup);
        QFETCH(int, lastError);
        QFETCH(bool, memoryErased);
        ModuleModel model = sampleModule();
        QVERIFY(model.setMemory(noise(1)));
        model.setIdLocked(locked);
        QByteArray reply;
        for (const QByteArray& c : commands)
            reply = command(model, c);
        QCOMPARE(reply.toHex(), lastReply);
        const QByteArray identity = command(model, "10"); // 5A 20, last error, ID block, ...
        QCOMPARE(int(quint8(identity[2])), lastError);
        QCOMPARE(identity.mid(3, 8).toHex(), idBlock);
        const IdBlock copy = model.backupIdBlock();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(copy.data()), 8).toHex(), backup);
        QCOMPARE(model.memory() == QByteArray(65536, '\xff'), memoryErased);
    }

    // What a module checks before it programs a page record; the target is sub-system 10, serial 0x1234.
    void programPage_data() {
        QTest::addColumn<QByteArray>("request"); // command 20: Sys ID SerL SerH Mask #1 page, 0
        QTest::addColumn<int>("damageAt");       // a record byte changed on the way, or -1
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("lastError");
        const QByteArray ok = "5a5b", refused = "5aab";
        QTest::newRow("matching record") << QByteArray("010a3412ff000500") << -1 << ok << 0;
        QTest::newRow("last page") << QByteArray("010a34120000ff00") << -1 << ok << 0;
        QTest::newRow("damaged page byte") << QByteArray("010a3412ff000500") << 100 << refused << 6;
        QTest::newRow("damaged header byte") << QByteArray("010a3412ff000500") << 1 << refused << 6;
        QTest::newRow("for another system") << QByteArray("020a341200000500") << -1 << refused << 3;
        QTest::newRow("sub 0x00 takes any") << QByteArray("0163341200000500") << -1 << ok << 0;
        QTest::newRow("sub 0x10, module equal") << QByteArray("010a341210000500") << -1 << ok << 0;
        QTest::newRow("sub 0x10, module below") << QByteArray("010b341210000500") << -1 << refused << 4;
        QTest::newRow("sub 0x20, module equal") << QByteArray("010a341220000500") << -1 << ok << 0;
        QTest::newRow("sub 0x20, module above") << QByteArray("0109341220000500") << -1 << refused << 4;
        QTest::newRow("sub 0xF0, module other") << QByteArray("010b3412f0000500") << -1 << refused << 4;
        QTest::newRow("sub 0x30 takes none") << QByteArray("010a341230000500") << -1 << refused << 4;
        QTest::newRow("serial 0x01, module equal") << QByteArray("010a341201000500") << -1 << ok << 0;
        QTest::newRow("serial 0x01, module below") << QByteArray("010a351201000500") << -1 << refused << 5;
        QTest::newRow("serial 0x01 weighs SerH") << QByteArray("010a351101000500") << -1 << ok << 0;
        QTest::newRow("serial 0x02, module above") << QByteArray("010a331202000500") << -1 << refused << 5;
        QTest::newRow("serial 0x0F, module other") << QByteArray("010a35120f000500") << -1 << refused << 5;
        QTest::newRow("serial 0x03 takes none") << QByteArray("010a341203000500") << -1 << refused << 5;
    }
    void programPage() {
        QFETCH(QByteArray, request);
        QFETCH(int, damageAt);
        QFETCH(QByteArray, reply);
        QFETCH(int, lastError);
        ModuleModel master = sampleModule();
        QVERIFY(master.setMemory(noise(2)));
        ModuleModel target = sampleModule();
        QByteArray record = pageRecord(master, request);
        if (damageAt >= 0)
            record[damageAt] = static_cast<char>(record[damageAt] ^ 0x40);
        QCOMPARE(command(target, "12" + record.toHex()).toHex(), reply);
        QCOMPARE(int(target.identity.lastError), lastError);
        const int index = quint8(QByteArray::fromHex(request)[6]);
        const QByteArray expected = lastError == 0 ? page(master.memory(), index) : QByteArray(256, '\xff');
        QCOMPARE(page(target.memory(), index).toHex(), expected.toHex());
    }

    // Capture every page of a master into records, program them into a blank module.
    void captureAndProgram_data() {
        QTest::addColumn<int>("targetSystem");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same system: memories equal") << 1 << true;
        QTest::newRow("another system refuses every page") << 3 << false;
    }
    void captureAndProgram() {
        QFETCH(int, targetSystem);
        QFETCH(bool, accepted);
        ModuleModel master = sampleModule();
        QVERIFY(master.setMemory(noise(3)));
        ModuleModel target = sampleModule(quint8(targetSystem));
        target.identity.serial = 1;
        for (int p = 0; p < 256; ++p) {
            const QByteArray index = QByteArray::number(p, 16).rightJustified(2, '0');
            const QByteArray record = pageRecord(master, "010a00000000" + index + "00");
            const QByteArray reply = command(target, "12" + record.toHex()).toHex();
            QCOMPARE(reply, accepted ? QByteArray("5a5b") : QByteArray("5aab"));
        }
        QCOMPARE(target.memory() == master.memory(), accepted);
        QCOMPARE(target.memory() == QByteArray(65536, '\xff'), !accepted);
    }

    // Faults planned for the 2nd of three ID block writes, sent in one go through the pseudo-terminal.
    void plannedFaultByOccurrence_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("replies");
        QTest::newRow("refused") << "19:2:refuse" << QByteArray("5a5b5aab5a5b");
        QTest::newRow("not answered") << "19:2:no-reply" << QByteArray("5a5b5a5b");
        QTest::newRow("doubled") << "19:2:double-ack" << QByteArray("5a5b5a5b5a5b5a5b");
        QTest::newRow("garbage before") << "19:2:garbage" << QByteArray("5a5b00ff135a5b5a5b");
        QTest::newRow("every one refused") << "19:*:refuse" << QByteArray("5aab5aab5aab");
        QTest::newRow("planned for another code") << "16:2:refuse" << QByteArray("5a5b5a5b5a5b");
    }
    void plannedFaultByOccurrence() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, replies);
        VirtualModule module;
        QVERIFY(module.start());
        const auto planned = ParseFaultPlan(fault);
        QVERIFY(planned);
        module.faults.plan(*planned);
        ToolEnd tool(module.devicePath());
        QVERIFY(tool.isOpen());
        const QByteArray writeIdBlock = QByteArray::fromHex("5a135a010a341211223324");
        QVERIFY(tool.write(writeIdBlock + writeIdBlock + writeIdBlock));
        QVERIFY(tool.waitForBytes(replies.size() / 2));
        QCOMPARE(tool.received.toHex(), replies);
    }

    // The acknowledgement to a page frame comes when the frame and the reply
    // would have crossed a 115200 8N1 line (86.8 us a byte), plus the adapter's latency.
    void lineRateTiming_data() {
        QTest::addColumn<int>("latencyMs");
        QTest::newRow("paced line") << 0;
        QTest::newRow("adapter latency 5 ms") << 5;
    }
    void lineRateTiming() {
        QFETCH(int, latencyMs);
        VirtualModule module;
        QVERIFY(module.start());
        module.identity = sampleModule().identity;
        module.faults.lineRate = true;
        module.faults.adapterLatencyMs = latencyMs;
        const QByteArray frame = framed("\x12" + pageRecord(module.model(), "010a341200000700"));
        QCOMPARE(frame.size(), 267);
        ToolEnd tool(module.devicePath());
        const qint64 sentNs = tool.nowNs();
        QVERIFY(tool.write(frame));
        QVERIFY(tool.waitForBytes(2));
        QCOMPARE(tool.received.toHex(), QByteArray("5a5b"));
        const qint64 earliestNs = (267 + 2) * 86'806 + latencyMs * 1'000'000LL;
        const qint64 tookNs = tool.lastArrivalNs - sentNs;
        QVERIFY2(tookNs >= earliestNs && tookNs < earliestNs + 100'000'000,
                 qPrintable(QString::number(tookNs)));
    }

    void staleBytesWaitForWhoeverOpensThePort() {
        VirtualModule module;
        QVERIFY(module.start());
        module.sendRaw(QByteArray::fromHex("5a5b"));
        ToolEnd tool(module.devicePath());
        QVERIFY(tool.waitForBytes(2));
        QCOMPARE(tool.received.toHex(), QByteArray("5a5b"));
    }
};

QTEST_GUILESS_MAIN(TestVirtualModule)
#include "tst_VirtualModule.moc"

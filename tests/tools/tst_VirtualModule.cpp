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

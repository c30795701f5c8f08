#include "Frames.h"

#include <QtTest>

Q_DECLARE_METATYPE(OutMsg)

namespace {
OutMsg message(std::initializer_list<qint16> elements) {
    OutMsg m{};
    std::copy(elements.begin(), elements.end(), m.begin());
    return m;
}
} // namespace

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    // The bytes every command puts on the line, written out by hand.
    void commandFrames_data() {
        QTest::addColumn<OutMsg>("message");
        QTest::addColumn<int>("bytesToSend");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("identity 16") << message({16}) << 2 << QByteArray::fromHex("5a1010");
        QTest::newRow("erase 17") << message({17}) << 2 << QByteArray::fromHex("5a1111");
        QTest::newRow("restore 23") << message({23}) << 2 << QByteArray::fromHex("5a1717");
        QTest::newRow("wipe 26") << message({26}) << 2 << QByteArray::fromHex("5a1a1a");
        QTest::newRow("restart 27") << message({27}) << 2 << QByteArray::fromHex("5a1b1b");
        QTest::newRow("restart into bootloader") << message({3, 254}) << 3 << QByteArray::fromHex("5a03fe01");
        QTest::newRow("ID block 19") << message({19, 90, 1, 10, 0x34, 0x12, 0, 0, 0}) << 10
                                     << QByteArray::fromHex("5a135a010a3412000000be");
        QTest::newRow("encrypted page 20") << message({20, 1, 11, 0, 0, 34, 0, 5, 0}) << 10
                                           << QByteArray::fromHex("5a14010b000022000500"
                                                                  "47");
        QTest::newRow("element above a byte sends its low byte")
            << message({17, 0x1234}) << 3 << QByteArray::fromHex("5a113445");
        QTest::newRow("0x5A in data is not escaped")
            << message({19, 0x5A, 0x5A}) << 4 << QByteArray::fromHex("5a135a5ac7");
        QTest::newRow("below 2 sends nothing") << message({16}) << 1 << QByteArray();
        QTest::newRow("beyond the buffer sends nothing") << message({16}) << 403 << QByteArray();
    }
    void commandFrames() {
        QFETCH(OutMsg, message);
        QFETCH(int, bytesToSend);
        QFETCH(QByteArray, wire);
        QCOMPARE(Frame::Encode(message, bytesToSend).toHex(' '), wire.toHex(' '));
    }

    void pageFrameIs267Bytes() {
        OutMsg m{};
        m[0] = 18;
        int sum = 18;
        for (int i = 1; i <= 264; ++i) {
            m[static_cast<size_t>(i)] = static_cast<qint16>(i * 7);
            sum += (i * 7) & 0xFF;
        }
        const QByteArray frame = Frame::Encode(m, 266);
        QCOMPARE(frame.size(), 267);
        QCOMPARE(static_cast<quint8>(frame[0]), quint8(0x5A));
        QCOMPARE(static_cast<quint8>(frame[1]), quint8(18));
        QCOMPARE(static_cast<quint8>(frame[265]), quint8((264 * 7) & 0xFF));
        QCOMPARE(static_cast<quint8>(frame[266]), quint8(sum & 0xFF));
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_Frames.moc"

#include "Frames.h"

#include <QtTest>

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
    // The bytes every command puts on the line, written out by hand.
    void commandFrames() {
        const std::tuple<OutMsg, int, const char*> cases[] = {
            {message({16}), 2, "5a1010"},
            {message({17}), 2, "5a1111"},
            {message({23}), 2, "5a1717"},
            {message({26}), 2, "5a1a1a"},
            {message({27}), 2, "5a1b1b"},
            {message({3, 254}), 3, "5a03fe01"},
            {message({19, 90, 1, 10, 0x34, 0x12, 0, 0, 0}), 10, "5a135a010a3412000000be"},
            {message({20, 1, 11, 0, 0, 34, 0, 5, 0}), 10, "5a14010b00002200050047"},
            {message({17, 0x1234}), 3, "5a113445"},       // only the low byte of an element
            {message({19, 0x5A, 0x5A}), 4, "5a135a5ac7"}, // 0x5A in data is not escaped
            {message({16}), 1, ""},                       // below 2: nothing
            {message({16}), 403, ""}};                    // beyond the buffer: nothing
        for (const auto& [msg, bytesToSend, wire] : cases)
            QCOMPARE(Frame::Encode(msg, bytesToSend).toHex(), QByteArray(wire));
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

#include "FirmwareFile.h"
#include "FirmwareFileWriter.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// System 7, sub-system 3, serial bytes 34 12, version bytes 07 02, mask 22, #1 99.
const QByteArray kHeader = QByteArray::fromHex("0703341207022299"
                                               "3B0D0A");

// A page line with payload fill, fill+1, ...; its checksum off by checksumError.
QByteArray pageLine(int fill, int checksumError = 0, char terminator = ';') {
    QByteArray line;
    int sum = checksumError;
    for (int i = 0; i < 264; ++i) {
        line.append(static_cast<char>(fill + i));
        sum += (fill + i) & 0xFF;
    }
    return line + char(sum) + terminator + "\r\n";
}

QByteArray pages(int count) {
    QByteArray lines;
    for (int p = 0; p < count; ++p)
        lines += pageLine(p);
    return lines;
}

// A device far larger than any firmware file: a header, then `pattern`
// repeated for 64 MiB. It counts the bytes the reader asks for.
class HugeDevice : public QIODevice {
public:
    explicit HugeDevice(QByteArray pattern) : Bytes(kHeader + pattern) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesRead = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        maxSize = std::min(maxSize, (qint64{64} << 20) - bytesRead);
        for (qint64 i = 0; i < maxSize; ++i, ++bytesRead)
            data[i] = bytesRead < 11 ? Bytes[bytesRead] : Bytes[11 + (bytesRead - 11) % (Bytes.size() - 11)];
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray Bytes;
};

} // namespace

class TestFirmwareFile : public QObject {
    Q_OBJECT
private slots:
    // Lines are counted from the first page record as 1. Whatever the records
    // hold, the header is taken over unless the read breaks off.
    void read_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<FirmwareReadOutcome>("outcome");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("pageCount");
        using enum FirmwareReadOutcome;
        QByteArray badHeader = kHeader;
        badHeader[8] = ',';
        QTest::newRow("header only") << kHeader << Loaded << "" << 0;
        QTest::newRow("256 pages") << kHeader + pages(256) << Loaded << "" << 256;
        QTest::newRow("257 pages") << kHeader + pages(257) << Loaded << "" << 257;
        QTest::newRow("partial record ignored")
            << kHeader + pages(2) + pageLine(2).left(267) << Loaded << "" << 2;
        QTest::newRow("header without ;")
            << badHeader + pages(1) << BadRecord << "Invalid data format on input line 1" << 0;
        QTest::newRow("header too short")
            << kHeader.left(8) << BadRecord << "Invalid data format on input line 1" << 0;
        QTest::newRow("third record without ;, not counted")
            << kHeader + pages(2) + pageLine(2, 0, ':') << BadRecord << "Invalid data format on input line 3"
            << 2;
        QTest::newRow("fourth checksum off by one, counted")
            << kHeader + pages(3) + pageLine(3, 1) + pages(1) << BadRecord << "Checksum error on input line 4"
            << 4;
        QTest::newRow("258th record without ;") << kHeader + pages(257) + pageLine(0, 0, 'x') << BadRecord
                                                << "Invalid data format on input line 258" << 257;
        QTest::newRow("258th record")
            << kHeader + pages(258) << ReadFailure
            << "Error reading from firmware file: the file holds more than 257 pages" << 0;
    }
    void read() {
        QFETCH(QByteArray, file);
        QFETCH(FirmwareReadOutcome, outcome);
        QFETCH(QString, message);
        QFETCH(int, pageCount);
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        const FirmwareReadResult result = ReadFirmwareImage(buffer);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(outcome == FirmwareReadOutcome::BadRecord ? result.statusText : result.MessageBoxText(),
                 message);
        QCOMPARE(result.image.FWFileLoaded, outcome == FirmwareReadOutcome::Loaded);
        QCOMPARE(result.ReplacesCurrentImage(), outcome != FirmwareReadOutcome::ReadFailure);
        if (!result.ReplacesCurrentImage())
            return;
        QCOMPARE(result.image.FWPageCount(), pageCount);
        const FirmwareImage& image = result.image;
        QCOMPARE((std::array{image.FWSystemID, image.FWSubSystemID, image.FWVersionMajor,
                             image.FWVersionMinor, image.FWTargetMask}),
                 (std::array<qint16, 5>{7, 3, 2, 7, 0x22}));
        QCOMPARE(image.FWSerialNo, 4660);
    }

    // However much a device holds, the reader stops by the 258th record.
    void hugeInputReadsBounded_data() {
        QTest::addColumn<QByteArray>("pattern");
        QByteArray noise(4 << 20, Qt::Uninitialized);
        QRandomGenerator(20261206).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QTest::newRow("noise") << noise;
        QTest::newRow("good records") << pageLine(5);
    }
    void hugeInputReadsBounded() {
        QFETCH(QByteArray, pattern);
        HugeDevice device(pattern);
        QVERIFY(!ReadFirmwareImage(device).image.FWFileLoaded);
        QVERIFY(device.bytesRead <= 11 + 258 * 268);
    }

    void captureHeaderLine() {
        QCOMPARE(FirmwareHeaderLine(1, 11, 0, 0, 5, 2, 0x22, 0).toHex(' '),
                 "01 0b 00 00 05 02 22 00 3b 0d 0a");
    }

    // Every byte value passes unchanged through writer and reader; an old file
    // of the same name is replaced.
    void writtenFileReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("master.fw");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(100000, 'x')) > 0);
        old.close();

        std::vector<FirmwarePage> written(120);
        for (size_t p = 0; p < written.size(); ++p)
            for (size_t i = 0; i < 264; ++i)
                written[p][i] = static_cast<quint8>(i * 7 + p);
        FirmwareFileWriter writer;
        QVERIFY(writer.Create(path));
        QVERIFY(writer.WriteLine(FirmwareHeaderLine(0xFF, 0, 0x3B, 0x0D, 5, 2, 0x0A, 0x80)));
        for (const FirmwarePage& page : written)
            QVERIFY(writer.WriteLine(FirmwarePageLine(page)));
        writer.Close();

        QCOMPARE(QFileInfo(path).size(), 11 + 120 * 268);
        const FirmwareImage image = ReadFirmwareImage(path).image;
        QVERIFY(image.FWFileLoaded);
        QVERIFY(image.pages == written);
        QCOMPARE(
            (std::array{image.FWSystemID, image.FWVersionMajor, image.FWVersionMinor, image.FWTargetMask}),
            (std::array<qint16, 4>{0xFF, 2, 5, 0x0A}));
        QCOMPARE(image.FWSerialNo, 0x0D3B);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareFile)
#include "tst_FirmwareFile.moc"

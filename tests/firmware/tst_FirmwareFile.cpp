#include "FirmwareFile.h"
#include "FirmwareFileWriter.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Header for system 7, sub-system 3, serial 0x1234, version 2.07, mask 0x22, #1 0x99.
const QByteArray kHeader = QByteArray::fromHex("0703341207022299"
                                               "3B0D0A");

// One page line whose payload bytes are fill, fill+1, ...; its checksum is off
// by checksumError and its terminator is `terminator`.
QByteArray pageLine(int fill, int checksumError = 0, char terminator = ';') {
    QByteArray line;
    int sum = 0;
    for (int i = 0; i < 264; ++i) {
        line.append(static_cast<char>((fill + i) & 0xFF));
        sum += (fill + i) & 0xFF;
    }
    line.append(static_cast<char>((sum + checksumError) & 0xFF));
    line.append(terminator);
    line.append("\r\n");
    return line;
}

QByteArray fileWithPages(int pages) {
    QByteArray file = kHeader;
    for (int p = 0; p < pages; ++p)
        file += pageLine(p);
    return file;
}

FirmwareReadResult readBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadFirmwareImage(buffer);
}

// A source far larger than any firmware file that counts what the reader
// takes from it: a header followed by `pattern` for 64 MiB. Unbuffered, so that nothing but
// the reader's own requests is counted.
class HugeDevice : public QIODevice {
public:
    HugeDevice(QByteArray header, QByteArray pattern)
        : Header(std::move(header)), Pattern(std::move(pattern)) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesRead = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        maxSize = std::min(maxSize, (qint64{64} << 20) - bytesRead);
        for (qint64 i = 0; i < maxSize; ++i, ++bytesRead)
            data[i] = bytesRead < Header.size() ? Header[bytesRead]
                                                : Pattern[(bytesRead - Header.size()) % Pattern.size()];
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray Header;
    QByteArray Pattern;
};

} // namespace

class TestFirmwareFile : public QObject {
    Q_OBJECT
private slots:
    void completeFilesLoad_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("pages");
        QTest::newRow("header only") << kHeader << 0;
        QTest::newRow("256 pages") << fileWithPages(256) << 256;
        QTest::newRow("257 pages") << fileWithPages(257) << 257;
        QTest::newRow("trailing partial record ignored") << fileWithPages(2) + pageLine(9).left(267) << 2;
        QTest::newRow("header CR LF may be anything") << QByteArray::fromHex("0703341207022299"
                                                                             "3B0000") +
                                                             pageLine(0)
                                                      << 1;
    }
    void completeFilesLoad() {
        QFETCH(QByteArray, file);
        QFETCH(int, pages);
        const FirmwareReadResult result = readBytes(file);
        QCOMPARE(result.outcome, FirmwareReadOutcome::Loaded);
        QVERIFY(result.image.FWFileLoaded);
        QVERIFY(result.recordsRead);
        QCOMPARE(result.image.FWPageCount(), pages);
        for (int p = 0; p < pages; ++p)
            QCOMPARE(result.image.pages[p][0], quint8(p));
    }

    void headerFields() {
        const FirmwareImage image = readBytes(kHeader).image;
        QCOMPARE(image.FWSystemID, qint16(7));
        QCOMPARE(image.FWSubSystemID, qint16(3));
        QCOMPARE(image.FWSerialNo, 4660);
        QCOMPARE(image.FWVersionMajor, qint16(2));
        QCOMPARE(image.FWVersionMinor, qint16(7));
        QCOMPARE(image.FWTargetMask, qint16(0x22));
    }

    // Each rejected file names its line, the first page record being line 1;
    // the header is taken over all the same.
    void badRecords_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("recordsRead");
        QByteArray badHeader = kHeader;
        badHeader[8] = ',';
        QTest::newRow("header without ;")
            << badHeader + pageLine(0) << "Invalid data format on input line 1" << 0 << false;
        QTest::newRow("header too short")
            << kHeader.left(8) << "Invalid data format on input line 1" << 0 << false;
        QTest::newRow("first record without ;")
            << kHeader + pageLine(0, 0, ',') << "Invalid data format on input line 1" << 0 << true;
        QTest::newRow("third record without ;")
            << fileWithPages(2) + pageLine(2, 0, ':') << "Invalid data format on input line 3" << 2 << true;
        QTest::newRow("first checksum off by one")
            << kHeader + pageLine(0, 1) << "Checksum error on input line 1" << 1 << true;
        QTest::newRow("fourth checksum off by one, counted")
            << fileWithPages(3) + pageLine(3, -1) + pageLine(4) << "Checksum error on input line 4" << 4
            << true;
        QTest::newRow("258th record without ;") << fileWithPages(257) + pageLine(0, 0, 'x')
                                                << "Invalid data format on input line 258" << 257 << true;
    }
    void badRecords() {
        QFETCH(QByteArray, file);
        QFETCH(QString, status);
        QFETCH(int, pages);
        QFETCH(bool, recordsRead);
        const FirmwareReadResult result = readBytes(file);
        QCOMPARE(result.outcome, FirmwareReadOutcome::BadRecord);
        QCOMPARE(result.statusText, status);
        QCOMPARE(result.image.FWPageCount(), pages);
        QCOMPARE(result.recordsRead, recordsRead);
        QVERIFY(!result.image.FWFileLoaded);
        QVERIFY(result.ReplacesCurrentImage());
        QCOMPARE(result.image.FWSystemID, qint16(7));
        QCOMPARE(result.image.FWSerialNo, 4660);
    }

    void a258thPageBreaksTheRead() {
        const FirmwareReadResult result = readBytes(fileWithPages(258));
        QCOMPARE(result.outcome, FirmwareReadOutcome::ReadFailure);
        QVERIFY(!result.ReplacesCurrentImage());
        QVERIFY(result.MessageBoxText().startsWith("Error reading from firmware file: "));
        QVERIFY(result.MessageBoxText().size() > 40);
    }

    void missingFileFailsToOpen() {
        const FirmwareReadResult result = ReadFirmwareImage(QStringLiteral("/nonexistent/dir/x.fw"));
        QCOMPARE(result.outcome, FirmwareReadOutcome::OpenFailure);
        QVERIFY(!result.ReplacesCurrentImage());
        QVERIFY(result.MessageBoxText().startsWith("Error opening config file: "));
    }

    // However much a device holds, the reader stops by the 258th record.
    void hugeInputReadsBounded_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<FirmwareReadOutcome>("outcome");
        QByteArray noise(4 << 20, Qt::Uninitialized);
        QRandomGenerator random(20261206);
        random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QTest::newRow("noise after a header") << noise << FirmwareReadOutcome::BadRecord;
        QTest::newRow("good records without end") << pageLine(5) << FirmwareReadOutcome::ReadFailure;
    }
    void hugeInputReadsBounded() {
        QFETCH(QByteArray, pattern);
        QFETCH(FirmwareReadOutcome, outcome);
        HugeDevice device(kHeader, pattern);
        QCOMPARE(ReadFirmwareImage(device).outcome, outcome);
        QVERIFY(device.bytesRead <= 11 + 258 * 268);
    }

    void linesForTheCapture_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("load defaults, application 2.05") << FirmwareHeaderLine(1, 11, 0, 0, 5, 2, 0x22, 0)
                                                         << QByteArray::fromHex("010B000005022200"
                                                                                "3B0D0A");
        FirmwarePage ones;
        ones.fill(0xFF);
        QTest::newRow("page of FF: sum 264*255 mod 256")
            << FirmwarePageLine(ones) << QByteArray(264, '\xFF') + QByteArray::fromHex("F83B0D0A");
    }
    void linesForTheCapture() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        QCOMPARE(line.toHex(' '), expected.toHex(' '));
    }

    // Every byte value passes unchanged through writer and reader; an old file
    // of the same name is replaced.
    void writtenFileReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("master.fw");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
        old.close();

        std::vector<FirmwarePage> pages(120);
        for (size_t p = 0; p < pages.size(); ++p)
            for (size_t i = 0; i < 264; ++i)
                pages[p][i] = static_cast<quint8>(i * 7 + p);
        FirmwareFileWriter writer;
        QVERIFY(writer.Create(path));
        QVERIFY(writer.WriteLine(FirmwareHeaderLine(0xFF, 0, 0x3B, 0x0D, 5, 2, 0x0A, 0x80)));
        for (const FirmwarePage& page : pages)
            QVERIFY(writer.WriteLine(FirmwarePageLine(page)));
        QVERIFY(writer.Flush());
        writer.Close();

        QCOMPARE(QFileInfo(path).size(), 11 + 120 * 268);
        const FirmwareReadResult result = ReadFirmwareImage(path);
        QCOMPARE(result.outcome, FirmwareReadOutcome::Loaded);
        QVERIFY(result.image.pages == pages);
        QCOMPARE(result.image.FWSystemID, qint16(0xFF));
        QCOMPARE(result.image.FWSerialNo, 0x0D3B);
        QCOMPARE(result.image.FWVersionMajor, qint16(2));
        QCOMPARE(result.image.FWVersionMinor, qint16(5));
        QCOMPARE(result.image.FWTargetMask, qint16(0x0A));
    }

    void writerReportsFileErrors() {
        FirmwareFileWriter writer;
        QVERIFY(!writer.Create(QStringLiteral("/nonexistent/dir/x.fw")));
        QVERIFY(!writer.ErrorString().isEmpty());
        QVERIFY(!writer.WriteLine(QByteArray("x")));
    }
};

QTEST_GUILESS_MAIN(TestFirmwareFile)
#include "tst_FirmwareFile.moc"

#include "SerialDatabase.h"
#include "SerialRecord.h"
#include "TargetIdentity.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

// Serial 41; ID block 5A 01 0A 34 12 11 22 33; raw bytes "ABC123"; info C1..C4 03;
// processor 1E..21; bootloader 1.05; memo "Line 7 memo"; 3 March 2026 14:05.
const QByteArray kGoodRecord =
    QByteArrayLiteral("00041,5A,01,0A,34,12,11,22,33,ABC123,C1,C2,C3,C4,03,1E,1F,20,21,"
                      "05,01, Line 7 memo,03/03/26-14:05;\r\n");

// The record with `text` put in from byte `position` on (counting from 1).
QByteArray withBytes(QByteArray record, int position, const QByteArray& text) {
    return record.replace(position - 1, text.size(), text);
}

TargetIdentity identityWithRawBytes(std::array<char, 6> raw) {
    TargetIdentity identity;
    for (int i = 0; i < 6; ++i)
        identity.InfoBytes[i] = static_cast<quint8>(raw[i]);
    const qint16 rest[] = {0xC1, 0xC2, 0xC3, 0xC4, 3};
    std::copy(std::begin(rest), std::end(rest), identity.InfoBytes.begin() + 6);
    identity.CpuID = {0x1E, 0x1F, 0x20, 0x21};
    identity.BLVersionMinor = 5;
    identity.BLVersionMajor = 1;
    return identity;
}

const std::array<qint16, 8> kIdBlock{0x5A, 1, 10, 0x34, 0x12, 0x11, 0x22, 0x33};
const QDateTime kMarch3 = QDateTime(QDate(2026, 3, 3), QTime(14, 5));

QByteArray recordWithMemo(const QString& memo) {
    return BuildSerialRecord(41, kIdBlock, identityWithRawBytes({'A', 'B', 'C', '1', '2', '3'}), memo,
                             kMarch3, {});
}

SerialLoad loadBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadSerialRecords(buffer);
}

// The ID block as the test tables write it: -1 for a byte the load left empty.
QList<int> idBlockOf(const SerialLoad& load) {
    QList<int> bytes;
    for (const auto& byte : load.idBlock)
        bytes << (byte ? *byte : -1);
    return bytes;
}

// Run as a child by lockDiesWithItsHolder: holds the database open until killed.
int holdLock(const char* path) {
    SerialDatabase database;
    if (database.Open(QString::fromLocal8Bit(path)).failed)
        return 1;
    if (!database.Append(kGoodRecord))
        return 2;
    std::fputs("OK\n", stdout);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

} // namespace

class TestSerialDatabase : public QObject {
    Q_OBJECT
private slots:
    // The record of a unit whose raw information bytes hold 0 and ";", which
    // must not make it bad when it is read back.
    void recordBytes() {
        const QByteArray record = BuildSerialRecord(
            7, kIdBlock, identityWithRawBytes({'\0', ';', 'C', '1', '2', '3'}), "ABC", kMarch3, {'/', ':'});
        QCOMPARE(record, QByteArray("00007,5A,01,0A,34,12,11,22,33,\0;C123,C1,C2,C3,C4,03,1E,1F,20,21,"
                                    "05,01,         ABC,03/03/26-14:05;\r\n",
                                    100));
        const ParsedSerialRecord parsed = ParseSerialRecord(record);
        QVERIFY(!parsed.bad);
        QCOMPARE(parsed.serial, 7);
    }

    void memoFitted_data() {
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QByteArray>("bytes71to82");
        QTest::newRow("short, padded left") << "ABC" << QByteArray("         ABC");
        QTest::newRow("15 chars keep 4 to 15") << "ABCDEFGHIJKLMNO" << QByteArray("DEFGHIJKLMNO");
        QTest::newRow("empty") << "" << QByteArray(12, ' ');
        QTest::newRow("outside Latin-1") << QString::fromUtf8("Zürich→Ω") << QByteArray("    Z\xFCrich??");
        QTest::newRow("one ? per character") << QString::fromUtf8("🙂🙂x") << QByteArray("         ??x");
    }
    void memoFitted() {
        QFETCH(QString, memo);
        QFETCH(QByteArray, bytes71to82);
        const QByteArray record = recordWithMemo(memo);
        QCOMPARE(record.size(), 100);
        QCOMPARE(record.mid(70, 12), bytes71to82);
    }

    void dateSeparatorsOfLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("bytes83to97");
        QTest::newRow("C writes '3 Mar 2026'") << "C" << QByteArray(",03/03/26-14:05");
        QTest::newRow("en_US") << "en_US" << QByteArray(",03/03/26-14:05");
        QTest::newRow("de_DE") << "de_DE" << QByteArray(",03.03.26-14:05");
        QTest::newRow("fr_FR") << "fr_FR" << QByteArray(",03/03/26-14:05");
        QTest::newRow("nl_NL") << "nl_NL" << QByteArray(",03-03-26-14:05");
        QTest::newRow("fi_FI dots in time") << "fi_FI" << QByteArray(",03.03.26-14.05");
        QTest::newRow("hu_HU dot and blank") << "hu_HU" << QByteArray(",03.03.26-14:05");
        QTest::newRow("ar_EG marks around /") << "ar_EG" << QByteArray(",03/03/26-14:05");
    }
    void dateSeparatorsOfLocale() {
        QFETCH(QString, locale);
        QFETCH(QByteArray, bytes83to97);
        const QByteArray record = BuildSerialRecord(1, kIdBlock, TargetIdentity{}, "", kMarch3,
                                                    DateTimeSeparatorsOf(QLocale(locale)));
        QCOMPARE(record.size(), 100);
        QCOMPARE(record.mid(82, 15), bytes83to97);
    }

    void load_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("nextSerial"); // 0: left empty
        QTest::addColumn<QList<int>>("idBlock");
        QTest::addColumn<QString>("memo"); // null: none taken
        const QList<int> good{0x5A, 1, 10, 0x34, 0x12, 0x11, 0x22, 0x33};
        const QByteArray first = withBytes(withBytes(kGoodRecord, 1, "00039"), 71, "       first");
        const QByteArray second =
            withBytes(withBytes(withBytes(kGoodRecord, 1, "00040"), 10, "02"), 71, "      second");

        QTest::newRow("empty file") << QByteArray() << "File loaded with no errors." << 1
                                    << QList<int>{0, 0, 0, 0, 0, 0, 0, 0} << QString();
        QTest::newRow("three good, last 00041")
            << first + second + kGoodRecord << "File loaded with no errors." << 42 << good << " Line 7 memo";
        QTest::newRow("',' at byte 98 gives nothing")
            << first + second + withBytes(kGoodRecord, 98, ",") << "Failed: 1 error lines found." << 41
            << QList<int>{0x5A, 2, 10, 0x34, 0x12, 0x11, 0x22, 0x33} << "      second";
        QTest::newRow("lower-case hex bad but taken over")
            << first + withBytes(kGoodRecord, 53, "1e") << "Failed: 1 error lines found." << 42 << good
            << " Line 7 memo";
        QTest::newRow("partial trailing record ignored")
            << kGoodRecord + kGoodRecord.left(99) << "File loaded with no errors." << 42 << good
            << " Line 7 memo";
        QTest::newRow("bad bytes anywhere but the checked fields")
            << withBytes(withBytes(kGoodRecord, 31, QByteArray("\0;\r\n,\xFF", 6)), 66, "1x2y")
            << "Failed: 1 error lines found." << 42 << good << " Line 7 memo";
        QTest::newRow("missing comma after a checked pair")
            << withBytes(kGoodRecord, 40, ";") << "Failed: 1 error lines found." << 42 << good
            << " Line 7 memo";
        QTest::newRow("last serial not a number")
            << first + withBytes(kGoodRecord, 1, "0004x")
            << "File loaded with no errors. Unusable in the last record, previous values kept: serial number."
            << 0 << good << " Line 7 memo";
        QTest::newRow("last serial 65535 has no successor")
            << withBytes(kGoodRecord, 1, "65535")
            << "File loaded with no errors. Unusable in the last record, previous values kept: serial number."
            << 0 << good << " Line 7 memo";
        QTest::newRow("bad hex in the last ID block")
            << withBytes(withBytes(kGoodRecord, 10, "0a"), 28, "G3")
            << "Failed: 1 error lines found. Unusable in the last record, previous values kept: Sys, #3."
            << 42 << QList<int>{0x5A, -1, 10, 0x34, 0x12, 0x11, 0x22, -1} << " Line 7 memo";
    }
    void load() {
        QFETCH(QByteArray, file);
        QFETCH(QString, status);
        QFETCH(int, nextSerial);
        QFETCH(QList<int>, idBlock);
        QFETCH(QString, memo);
        const SerialLoad load = loadBytes(file);
        QVERIFY(!load.failed);
        QCOMPARE(load.StatusText(), status);
        QCOMPARE(load.nextSerial.value_or(0), nextSerial);
        QCOMPARE(idBlockOf(load), idBlock);
        QCOMPARE(load.memo.has_value(), !memo.isNull());
        QCOMPARE(load.memo.value_or(QString()), memo);
    }

    void newFileCreatedAndAppendedRecordsReload() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Default.ser");
        SerialDatabase database;
        const SerialLoad empty = database.Open(path);
        QVERIFY(!empty.failed);
        QVERIFY(QFile::exists(path));
        QCOMPARE(empty.nextSerial, 1);

        QVERIFY(database.Append(withBytes(kGoodRecord, 1, "00001")));
        QVERIFY(database.Append(withBytes(kGoodRecord, 1, "00002")));
        database.Close();
        QVERIFY(!database.IsOpen());
        const SerialLoad reloaded = database.Open(path);
        QCOMPARE(reloaded.StatusText(), "File loaded with no errors.");
        QCOMPARE(reloaded.nextSerial, 3);
        QCOMPARE(QFileInfo(path).size(), 200);
    }

    void fileErrorsDescribed() {
        SerialDatabase database;
        const SerialLoad load = database.Open("/nonexistent/dir/Default.ser");
        QVERIFY(load.failed);
        QVERIFY(!database.IsOpen());
        QVERIFY(load.MessageBoxText().startsWith("Error reading Serial Number Database file: "));
        QVERIFY(load.MessageBoxText().size() > 45);
        QVERIFY(!database.Append(kGoodRecord));
        QVERIFY(database.WriteErrorText().startsWith("Error writing to Serial Number Database file: "));
    }

    void secondWriterRefusedUntilClosed() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Default.ser");
        SerialDatabase first;
        QVERIFY(!first.Open(path).failed);
        SerialDatabase second;
        const SerialLoad refused = second.Open(path);
        QVERIFY(refused.failed);
        QCOMPARE(refused.MessageBoxText(),
                 "Error reading Serial Number Database file: the file is in use by another program");
        QVERIFY(!second.IsOpen());

        first.Close();
        QVERIFY(!second.Open(path).failed);
    }

    // A holder killed outright leaves its record in the file and no lock.
    void lockDiesWithItsHolder() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Default.ser");
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {"--hold-lock", path});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readAllStandardOutput(), QByteArray("OK\n"));
        SerialDatabase database;
        QVERIFY(database.Open(path).failed);

        holder.kill(); // SIGKILL
        QVERIFY(holder.waitForFinished(10000));
        const SerialLoad load = database.Open(path);
        QVERIFY(!load.failed);
        QCOMPARE(load.StatusText(), "File loaded with no errors.");
        QCOMPARE(load.nextSerial, 42);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0)
        return holdLock(argv[2]);
    QCoreApplication app(argc, argv);
    TestSerialDatabase test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SerialDatabase.moc"

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
const std::array<qint16, 8> kIdBlock{0x5A, 1, 10, 0x34, 0x12, 0x11, 0x22, 0x33};
const QDateTime kMarch3(QDate(2026, 3, 3), QTime(14, 5));

// The record with `text` put in from byte `position` on (counting from 1).
QByteArray withBytes(QByteArray record, int position, const QByteArray& text) {
    return record.replace(position - 1, text.size(), text);
}

QByteArray recordOf(const char (&raw)[7], const QString& memo, DateTimeSeparators separators = {}) {
    TargetIdentity identity;
    std::copy_n(raw, 6, identity.InfoBytes.begin());
    std::ranges::copy(std::array{0xC1, 0xC2, 0xC3, 0xC4, 3}, identity.InfoBytes.begin() + 6);
    identity.CpuID = {0x1E, 0x1F, 0x20, 0x21};
    identity.BLVersionMinor = 5;
    identity.BLVersionMajor = 1;
    return BuildSerialRecord(7, kIdBlock, identity, memo, kMarch3, separators);
}

// Next serial, ID block and memo of a load, "-" for each value left empty.
QString valuesOf(const SerialLoad& load) {
    QStringList values{load.nextSerial ? QString::number(*load.nextSerial) : "-"};
    for (const auto& byte : load.idBlock)
        values << (byte ? QString::number(*byte, 16).toUpper() : "-");
    return values.join(' ') + '|' + load.memo.value_or("-");
}

// Run as a child by lockDiesWithItsHolder: holds the database until killed.
int holdLock(const char* path) {
    SerialDatabase database;
    if (database.Open(QString::fromLocal8Bit(path)).failed || !database.Append(kGoodRecord))
        return 1;
    std::fputs("OK\n", stdout);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

} // namespace

class TestSerialDatabase : public QObject {
    Q_OBJECT
private slots:
    // Raw information bytes 0 and ";" do not make the record bad.
    void recordBytes() {
        const QByteArray record = recordOf({'\0', ';', 'C', '1', '2', '3', 0}, "ABC");
        QCOMPARE(record, QByteArray("00007,5A,01,0A,34,12,11,22,33,\0;C123,C1,C2,C3,C4,03,1E,1F,20,21,"
                                    "05,01,         ABC,03/03/26-14:05;\r\n",
                                    100));
        QVERIFY(!ParseSerialRecord(record).bad);
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
        const QByteArray record = recordOf("ABC123", memo);
        QCOMPARE(record.size(), 100);
        QCOMPARE(record.mid(70, 12), bytes71to82);
    }

    void dateSeparatorsOfLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("bytes83to97");
        QTest::newRow("C writes '3 Mar 2026'") << "C" << QByteArray(",03/03/26-14:05");
        QTest::newRow("en_US") << "en_US" << QByteArray(",03/03/26-14:05");
        QTest::newRow("de_DE") << "de_DE" << QByteArray(",03.03.26-14:05");
        QTest::newRow("nl_NL") << "nl_NL" << QByteArray(",03-03-26-14:05");
        QTest::newRow("fi_FI dots in time") << "fi_FI" << QByteArray(",03.03.26-14.05");
        QTest::newRow("hu_HU dot and blank") << "hu_HU" << QByteArray(",03.03.26-14:05");
        QTest::newRow("ar_EG marks around /") << "ar_EG" << QByteArray(",03/03/26-14:05");
    }
    void dateSeparatorsOfLocale() {
        QFETCH(QString, locale);
        QFETCH(QByteArray, bytes83to97);
        const QByteArray record = recordOf("ABC123", "", DateTimeSeparatorsOf(QLocale(locale)));
        QCOMPARE(record.size(), 100);
        QCOMPARE(record.mid(82, 15), bytes83to97);
    }

    // Values come from the last record ending in ";"; one it cannot give
    // sensibly is left empty so that the caller keeps its own.
    void load_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("values");
        const QByteArray first = withBytes(withBytes(kGoodRecord, 1, "00039"), 71, "       first");
        const QString last = "42 5A 1 A 34 12 11 22 33| Line 7 memo";
        const QString noErrors = "File loaded with no errors.";
        const QString oneError = "Failed: 1 error lines found.";
        QTest::newRow("empty file") << QByteArray() << noErrors << "1 0 0 0 0 0 0 0 0|-";
        QTest::newRow("three good, last 00041") << first + first + kGoodRecord << noErrors << last;
        QTest::newRow("',' at byte 98 gives nothing")
            << first + withBytes(kGoodRecord, 98, ",") << oneError << "40 5A 1 A 34 12 11 22 33|       first";
        QTest::newRow("lower-case hex bad, taken over")
            << first + withBytes(kGoodRecord, 53, "1e") << oneError << last;
        QTest::newRow("missing comma after a pair") << withBytes(kGoodRecord, 40, ";") << oneError << last;
        QTest::newRow("unchecked bytes may hold anything")
            << withBytes(withBytes(kGoodRecord, 31, QByteArray("\0;\r\n,\xFF", 6)), 67, "x") << noErrors
            << last;
        QTest::newRow("partial record ignored") << kGoodRecord + kGoodRecord.left(99) << noErrors << last;
        QTest::newRow("last serial not a number")
            << first + withBytes(kGoodRecord, 1, "0004x")
            << noErrors + " Unusable in the last record, previous values kept: serial number."
            << "- 5A 1 A 34 12 11 22 33| Line 7 memo";
        QTest::newRow("last serial 65535 has no successor")
            << withBytes(kGoodRecord, 1, "65535")
            << noErrors + " Unusable in the last record, previous values kept: serial number."
            << "- 5A 1 A 34 12 11 22 33| Line 7 memo";
        QTest::newRow("bad hex in the ID block")
            << withBytes(withBytes(kGoodRecord, 10, "0a"), 28, "G3")
            << oneError + " Unusable in the last record, previous values kept: Sys, #3."
            << "42 5A - A 34 12 11 22 -| Line 7 memo";
    }
    void load() {
        QFETCH(QByteArray, file);
        QFETCH(QString, status);
        QFETCH(QString, values);
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        const SerialLoad load = ReadSerialRecords(buffer);
        QVERIFY(!load.failed);
        QCOMPARE(load.StatusText(), status);
        QCOMPARE(valuesOf(load), values);
    }

    void newFileCreatedAndAppendedRecordsReload() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Default.ser");
        SerialDatabase database;
        QCOMPARE(database.Open(path).nextSerial, 1);
        QVERIFY(database.Append(withBytes(kGoodRecord, 1, "00001")));
        QVERIFY(database.Append(withBytes(kGoodRecord, 1, "00002")));
        QCOMPARE(database.Open(path).nextSerial, 3);
        QCOMPARE(QFileInfo(path).size(), 200);
    }

    void openFailureDescribed() {
        SerialDatabase database;
        const SerialLoad load = database.Open("/nonexistent/dir/Default.ser");
        QVERIFY(load.failed && !database.IsOpen());
        QVERIFY(load.MessageBoxText().startsWith("Error reading Serial Number Database file: "));
        QVERIFY(load.MessageBoxText().size() > 45);
    }

    void secondWriterRefusedUntilClosed() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Default.ser");
        SerialDatabase first;
        QVERIFY(!first.Open(path).failed);
        SerialDatabase second;
        QCOMPARE(second.Open(path).MessageBoxText(),
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
        QCOMPARE(holder.readAllStandardOutput(), "OK\n");
        SerialDatabase database;
        QVERIFY(database.Open(path).failed);

        holder.kill(); // SIGKILL
        QVERIFY(holder.waitForFinished(10000));
        const SerialLoad load = database.Open(path);
        QCOMPARE(load.StatusText(), "File loaded with no errors.");
        QCOMPARE(load.nextSerial, 42);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0)
        return holdLock(argv[2]);
    QCoreApplication app(argc, argv);
    TestSerialDatabase test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SerialDatabase.moc"

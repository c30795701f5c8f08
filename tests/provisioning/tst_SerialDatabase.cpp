#include "ModuleRig.h"
#include "SerialDatabase.h"
#include "SerialLedgerFile.h"
#include "SerialRecord.h"
#include "TargetIdentity.h"
#include "TestKit.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>

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

// Serial 7, with the ID block, information, processor and version bytes of kGoodRecord.
QByteArray recordOf(const char (&raw)[7], const QString& memo, DateTimeSeparators separators = {}) {
    TargetIdentity identity{.BLVersionMinor = 5, .BLVersionMajor = 1, .CpuID = {0x1E, 0x1F, 0x20, 0x21}};
    std::copy_n(raw, 6, identity.InfoBytes.begin());
    std::ranges::copy(std::array{0xC1, 0xC2, 0xC3, 0xC4, 3}, identity.InfoBytes.begin() + 6);
    return buildSerialRecord(7, {0x5A, 1, 10, 0x34, 0x12, 0x11, 0x22, 0x33}, identity, memo,
                             QDateTime(QDate(2026, 3, 3), QTime(14, 5)), separators);
}

// Next serial, ID block and memo of a load, "-" for each value left empty.
QString valuesOf(const SerialLoad& load) {
    QStringList values{load.nextSerial ? QString::number(*load.nextSerial) : "-"};
    for (const auto& byte : load.idBlock)
        values << (byte ? QString::number(*byte, 16).toUpper() : "-");
    return values.join(' ') + '|' + load.memo.value_or("-");
}

ssize_t shortWrite(int fd, const void* data, size_t size) {
    return ::write(fd, data, size / 2);
}
int failing(int) {
    errno = EIO;
    return -1;
}
int failingCut(int, off_t) {
    errno = EROFS;
    return -1;
}

// Run as a child by lockDiesWithItsHolder: holds the database until killed.
int holdLock(const char* path) {
    SerialDatabase database;
    if (database.open(QString::fromLocal8Bit(path)).failed || !database.append(kGoodRecord))
        return 1;
    std::fputs("OK\n", stdout);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

struct RecordRow {
    const char* name;
    QString memo;
    const char* locale;
    QByteArray bytes71to97;
};
struct LoadRow {
    const char* name;
    QByteArray file;
    QString status, values;
};
} // namespace
Q_DECLARE_METATYPE(RecordRow)
Q_DECLARE_METATYPE(LoadRow)

class TestSerialDatabase : public QObject {
    Q_OBJECT
private slots:
    // Raw information bytes 0 and ";" do not make the record bad.
    void recordBytes() {
        const QByteArray record = recordOf({'\0', ';', 'C', '1', '2', '3', 0}, "ABC");
        QCOMPARE(record, QByteArray("00007,5A,01,0A,34,12,11,22,33,\0;C123,C1,C2,C3,C4,03,1E,1F,20,21,"
                                    "05,01,         ABC,03/03/26-14:05;\r\n",
                                    100));
        QVERIFY(!parseSerialRecord(record).bad);
    }

    // Bytes 71 to 82: the memo, fitted; 83 to 97: the date and time as the
    // locale writes them ("C" writes "3 Mar 2026").
    void memoAndDate_data() {
        addRows<RecordRow>(
            {{"15 chars keep 4 to 15", "ABCDEFGHIJKLMNO", "C", "DEFGHIJKLMNO,03/03/26-14:05"},
             {"empty memo", "", "C", QByteArray(12, ' ') + ",03/03/26-14:05"},
             {"outside Latin-1", QString::fromUtf8("Zürich→Ω"), "C", "    Z\xFCrich??,03/03/26-14:05"},
             {"one ? per character", QString::fromUtf8("🙂🙂x"), "C", "         ??x,03/03/26-14:05"},
             {"en_US", "ABC", "en_US", "         ABC,03/03/26-14:05"},
             {"de_DE", "ABC", "de_DE", "         ABC,03.03.26-14:05"},
             {"nl_NL", "ABC", "nl_NL", "         ABC,03-03-26-14:05"},
             {"fi_FI dots in time", "ABC", "fi_FI", "         ABC,03.03.26-14.05"},
             {"hu_HU dot and blank", "ABC", "hu_HU", "         ABC,03.03.26-14:05"},
             {"ar_EG marks around /", "ABC", "ar_EG", "         ABC,03/03/26-14:05"}});
    }
    void memoAndDate() {
        QFETCH(RecordRow, row);
        const QByteArray record = recordOf("ABC123", row.memo, dateTimeSeparatorsOf(QLocale(row.locale)));
        QCOMPARE(record.size(), 100);
        QCOMPARE(record.mid(70, 27), row.bytes71to97);
    }

    // Values come from the last record ending in ";"; one it cannot give
    // sensibly is left empty so that the caller keeps its own.
    void load_data() {
        const QByteArray first = withBytes(withBytes(kGoodRecord, 1, "00039"), 71, "       first");
        const QString last = "42 5A 1 A 34 12 11 22 33| Line 7 memo";
        const QString noErrors = "File loaded with no errors.";
        const QString oneError = "Failed: 1 error lines found.";
        addRows<LoadRow>(
            {{"empty file", "", noErrors, "1 0 0 0 0 0 0 0 0|-"},
             {"three good, last 00041", first + first + kGoodRecord, noErrors, last},
             {"',' at byte 98 gives nothing but its number", first + withBytes(kGoodRecord, 98, ","),
              oneError, "42 5A 1 A 34 12 11 22 33|       first"},
             {"lower-case hex bad, taken over", first + withBytes(kGoodRecord, 53, "1e"), oneError, last},
             {"missing comma after a pair", withBytes(kGoodRecord, 40, ";"), oneError, last},
             {"unchecked bytes may hold anything",
              withBytes(withBytes(kGoodRecord, 31, QByteArray("\0;\r\n,\xFF", 6)), 67, "x"), noErrors, last},
             {"last serial not a number", first + withBytes(kGoodRecord, 1, "0004x"),
              noErrors + " The last record's serial number leaves no next one: set the next serial number by "
                         "clicking it.",
              "- 5A 1 A 34 12 11 22 33| Line 7 memo"},
             {"65535 has no successor", withBytes(kGoodRecord, 1, "65535") + first,
              noErrors + " Serial number 65535 has been given: set the next serial number by clicking it.",
              "- 5A 1 A 34 12 11 22 33|       first"},
             {"bad hex in the ID block", withBytes(withBytes(kGoodRecord, 7, "5a"), 28, "G3"),
              oneError + " Unusable in the last record, previous values kept: Init, #3.",
              "42 - 1 A 34 12 11 22 -| Line 7 memo"}});
    }
    void load() {
        QFETCH(LoadRow, row);
        QBuffer buffer(&row.file);
        buffer.open(QIODevice::ReadOnly);
        const SerialLoad load = readSerialRecords(buffer);
        QVERIFY(!load.failed);
        QCOMPARE(load.statusText(), row.status);
        QCOMPARE(valuesOf(load), row.values);
    }

    // A record cut short (by a crash) is completed by the next append, and
    // what is appended reloads; a second writer is refused until the first
    // closes; a file that cannot be opened is described. (A new file is
    // created: lockDiesWithItsHolder.)
    void databaseFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Default.ser");
        QVERIFY(writeFile(path, kGoodRecord + kGoodRecord.left(37)));
        SerialDatabase first, second;
        QCOMPARE(first.open(path).statusText(),
                 "File loaded with no errors. The file ends in a partial record of 37 bytes; it is completed "
                 "before the next record.");
        QVERIFY(first.append(withBytes(kGoodRecord, 1, "00042")));
        QCOMPARE(second.open(path).messageBoxText(),
                 "Error reading Serial Number Database file: the file is in use by another program");
        QVERIFY(!second.isOpen());
        first.close();
        const SerialLoad again = second.open(path);
        QCOMPARE(join(again.nextSerial.value_or(0), again.statusText()), "43 | Failed: 1 error lines found.");
        QCOMPARE(readFile(path).mid(100),
                 kGoodRecord.left(37) + QByteArray(61, ' ') + "\r\n" + withBytes(kGoodRecord, 1, "00042"));
        const SerialLoad load = first.open("/nonexistent/dir/Default.ser");
        QVERIFY(load.failed && !first.isOpen());
        QVERIFY(load.messageBoxText().startsWith("Error reading Serial Number Database file: "));
        QVERIFY(load.messageBoxText().size() > 45);
    }

    // An append that fails leaves the file as it was before it, never
    // shorter; when even the cut-back fails, the reason says what the file
    // may hold. The failing calls, the file's size after, the reason's end.
    void appendThatFails_data() {
        addRows(
            {"short write | write | 100 | the disk took only part of the record",
             "sync fails | fsync | 100 | Input/output error; the cut-back could not be synced (Input/output "
             "error): after a power cut the file may end in part of the record",
             "cut-back fails too | write ftruncate | 150 | the file could not be cut back (Read-only file "
             "system) and may end in part of the record"});
    }
    void appendThatFails() {
        const auto [calls, size, reason] = fields<3>();
        QTemporaryDir dir;
        SerialDatabase database;
        QVERIFY(!database.open(dir.filePath("log.ser")).failed && database.append(kGoodRecord));
        database.setSystemCalls({.write = calls.contains("write") ? shortWrite : ::write,
                                 .fsync = calls.contains("fsync") ? failing : ::fsync,
                                 .ftruncate = calls.contains("ftruncate") ? failingCut : ::ftruncate});
        QVERIFY(!database.append(kGoodRecord));
        QCOMPARE(QFileInfo(dir.filePath("log.ser")).size(), size.toInt());
        QVERIFY2(database.errorString().endsWith(reason), qPrintable(database.errorString()));
    }

    // What a log and the ledger beside it give: the lines of the ledger
    // (r reserved, l logged, c cancelled, with serial numbers; "cut" cuts
    // the last line short, as a crash would), then the next serial number and
    // the status. The log holds 00041.
    void ledgerBesideTheLog_data() {
        addRows(
            {"no ledger |  | 42 | File loaded with no errors.",
             "open reservations above the log | r500 r507 | 508 | File loaded with no errors. 2 serial "
             "numbers reserved but not logged: 500, 507.",
             "logged and cancelled | r42 l42 r43 c43 | 43 | File loaded with no errors.",
             "a number given back and reserved again | r42 c42 r42 | 43 | File loaded with no errors. 1 "
             "serial number reserved but not logged: 42.",
             "a reservation whose record reached the log | r41 | 42 | File loaded with no errors.",
             "a line cut short by a crash | r42 r9 cut | 43 | File loaded with no errors. 1 serial number "
             "reserved but not logged: 42."});
    }
    void ledgerBesideTheLog() {
        const auto [lines, next, status] = fields<3>();
        QTemporaryDir dir;
        const QString log = dir.filePath("log.ser");
        QByteArray ledger;
        const QHash<QChar, QByteArray> words{{'r', "reserved\t"}, {'l', "logged\t"}, {'c', "cancelled\t"}};
        for (const QString& line : lines.split(' ', Qt::SkipEmptyParts))
            if (line == "cut")
                ledger.chop(1);
            else
                ledger +=
                    words[line[0]] + line.mid(1).toLatin1().rightJustified(5, '0') +
                    "\t2026-12-07T20:46:00Z" +
                    (line[0] == 'r' ? "\t5A,01,0A,00,00,00,00,00\tbench3 /dev/ttyUSB0\tapp.fw\n" : "\n");
        QVERIFY(writeFile(log, kGoodRecord) && (lines.isEmpty() || writeFile(log + ".ledger", ledger)));
        SerialLedgerFile ledgerFile;
        const LedgerView view = ledgerFile.open(log, SerialLedger::Sharing::Exclusive);
        QCOMPARE(join(view.next.value_or(0), view.status), join(next, status));
        if (!view.open.isEmpty()) // each reservation as it was written
            QCOMPARE(join(view.open[0].station, view.open[0].firmware, view.open[0].block[1]),
                     "bench3 /dev/ttyUSB0 | app.fw | 1");
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
        QVERIFY(database.open(path).failed);
        holder.kill(); // SIGKILL
        QVERIFY(holder.waitForFinished(10000));
        const SerialLoad load = database.open(path);
        QCOMPARE(load.statusText(), "File loaded with no errors.");
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

#include "LocalHttpServer.h"
#include "ModuleRig.h"
#include "RecoveryServer.h"
#include "SerialRecovery.h"
#include "TempDir.h"
#include "UnitFile.h"

#include <QtTest>

using namespace std::chrono_literals;
using Outcome = SerialRecoveryResult::Outcome;

namespace {
const QByteArray kUnitPath = "/Temp/004711_Fix.dat";
const QString kDownloadFailed = QStringLiteral("Unable to find the required file from the internet.");

QByteArray Hex(const UnitIDBlock& block) {
    QByteArray bytes;
    for (const qint16 value : block)
        bytes += char(value);
    return bytes.toHex();
}

// The files this process holds open in the folder, named or not (a temporary
// file may have no name at all until it is linked).
QFileInfoList OpenFilesIn(const QString& folder) {
    QFileInfoList open;
    for (const QFileInfo& fd :
         QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System))
        if (fd.symLinkTarget().startsWith(folder + u'/'))
            open.append(fd);
    return open;
}
} // namespace

// Every case runs with TMPDIR pointing at a folder of its own, which must be
// empty again afterwards: the downloaded copy never stays behind.
class TestRecovery : public QObject {
    Q_OBJECT
    QTemporaryDir TempFolder;

    QFileInfoList tempFolderEntries() const {
        return QDir(TempFolder.path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void initTestCase() {
        QVERIFY(TempFolder.isValid());
        qputenv("TMPDIR", QFile::encodeName(TempFolder.path()));
        qunsetenv("MERLAX_RECOVERY_URL");
    }
    void cleanup() {
        const QFileInfoList left = tempFolderEntries();
        for (const QFileInfo& entry : left) // so that one failure does not fail the cases after it
            QFile::remove(entry.filePath());
        QCOMPARE(left.size(), 0);
    }

    void unitFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("block"); // hex; empty for a bad file
        QTest::newRow("no ';' at byte 17") << QByteArray("5A0103C8120000001") << QByteArray();
        QTest::newRow("non-hex digit") << QByteArray("5A0103C81200G000;") << QByteArray();
        QTest::newRow("only 16 bytes") << QByteArray("5A0103C812000000") << QByteArray();
        QTest::newRow("rest ignored") << QByteArray("FF00000000000001;x") << QByteArray("ff00000000000001");
    }
    void unitFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, block);
        const std::optional<UnitIDBlock> parsed = ParseUnitFile(bytes);
        QCOMPARE(parsed ? Hex(*parsed) : QByteArray(), block);
    }

    // What the operator is told (status or message) and which block is written.
    void recovery_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("redirectTo");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QByteArray>("block"); // hex; empty when nothing is to be written
        const QByteArray good = "5A0103C812000000;\r\n";
        const QByteArray block = "5a0103c812000000";
        QTest::newRow("good file") << 200 << good << QByteArray() << "OK." << block;
        QTest::newRow("one byte short")
            << 200 << QByteArray("5A0103C81200000;\r\n") << QByteArray() << "Failed" << QByteArray();
        QTest::newRow("lower-case hex")
            << 200 << QByteArray("5a0103c812000000;") << QByteArray() << "Failed" << QByteArray();
        // Error pages that look like a good file must not be taken for one.
        QTest::newRow("not found") << 404 << good << QByteArray() << kDownloadFailed << QByteArray();
        QTest::newRow("server error") << 500 << good << QByteArray() << kDownloadFailed << QByteArray();
        QTest::newRow("redirect followed")
            << 200 << good << QByteArray("/moved/004711.dat") << "OK." << block;
        QTest::newRow("oversized body")
            << 200 << good + QByteArray(70 * 1024, '0') << QByteArray() << kDownloadFailed << QByteArray();
    }
    void recovery() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, redirectTo);
        LocalHttpServer server;
        QByteArrayList paths{kUnitPath};
        if (redirectTo.isEmpty()) {
            server.respond(kUnitPath, status, body);
        } else {
            server.redirect(kUnitPath, redirectTo);
            server.respond(redirectTo, status, body);
            paths.append(redirectTo);
        }
        SerialRecovery recovery(server.baseUrl(), 5s);
        const SerialRecoveryResult result = recovery.OpenAndReadInternetSerialFile(QStringLiteral("004711"));

        QTEST(result.status + result.messageText, "told");
        QCOMPARE(result.messageTitle,
                 result.messageText.isEmpty() ? QString() : QStringLiteral("Serial Recovery"));
        QTEST(result.good() ? Hex(result.block) : QByteArray(), "block");
        QCOMPARE(server.requestPaths(), paths);
    }

    // Whatever the operator types selects one file in /Temp and nothing else.
    void typedTextIsOnePathSegment_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("letters and digits") << QString("AB12cd") << QByteArray("/Temp/AB12cd_Fix.dat");
        QTest::newRow("slash") << QString("00/471") << QByteArray("/Temp/00%2F471_Fix.dat");
        QTest::newRow("question mark") << QString("00?471") << QByteArray("/Temp/00%3F471_Fix.dat");
        QTest::newRow("hash") << QString("00#471") << QByteArray("/Temp/00%23471_Fix.dat");
        QTest::newRow("percent") << QString("00%2F1") << QByteArray("/Temp/00%252F1_Fix.dat");
        QTest::newRow("blank") << QString("00 471") << QByteArray("/Temp/00%20471_Fix.dat");
    }
    void typedTextIsOnePathSegment() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, path);
        LocalHttpServer server;
        SerialRecovery recovery(server.baseUrl(), 5s);
        recovery.OpenAndReadInternetSerialFile(typed);
        QCOMPARE(server.requestPaths(), QByteArrayList{path});
    }

    void silentServerGivesUpAtTheTimeLimit() {
        LocalHttpServer server;
        server.neverAnswer(kUnitPath);
        SerialRecovery recovery(server.baseUrl(), 300ms);
        bool timerRanDuringTheWait = false;
        QTimer::singleShot(50, this, [&] { timerRanDuringTheWait = true; });

        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = CpuMilliseconds();
        const SerialRecoveryResult result = recovery.OpenAndReadInternetSerialFile(QStringLiteral("004711"));
        const double cpuUsed = CpuMilliseconds() - cpuBefore;

        QVERIFY2(clock.elapsed() >= 250 && clock.elapsed() < 5000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(timerRanDuringTheWait);
        QVERIFY2(cpuUsed < 100, qPrintable(QString::number(cpuUsed)));
        QCOMPARE(result.messageText, kDownloadFailed);
        QCOMPARE(server.requestPaths(), QByteArrayList{kUnitPath});
    }

    // While the download runs, its copy is a file of this user's alone, not a
    // name another user could have planted; closing the window ends the wait.
    void localCopyIsPrivateAndAbandonEndsTheWait() {
        LocalHttpServer server;
        server.neverAnswer(kUnitPath);
        SerialRecovery recovery(server.baseUrl()); // the real 20 s limit
        QFileInfoList copies;
        bool fixedName = true;
        QTimer::singleShot(100, this, [&] {
            copies = OpenFilesIn(TempFolder.path());
            fixedName = QFile::exists(TempFolder.filePath(QStringLiteral("t.dat")));
            recovery.abandon();
        });
        QElapsedTimer clock;
        clock.start();
        const SerialRecoveryResult result = recovery.OpenAndReadInternetSerialFile(QStringLiteral("004711"));
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(result.outcome, Outcome::DownloadFailed);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(int(copies[0].permissions() &
                     ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser)),
                 0);
        QVERIFY(!fixedName);
    }

    void givesUpAfterTwentySecondsByDefault() { QCOMPARE(FileDownload().timeLimit(), 20000ms); }

    void noServerConfigured() {
        SerialRecovery recovery(QString(), 300ms);
        const SerialRecoveryResult result = recovery.OpenAndReadInternetSerialFile(QStringLiteral("004711"));
        QCOMPARE(result.outcome, Outcome::NoServerConfigured);
        QCOMPARE(result.messageTitle, QStringLiteral("Serial Recovery"));
        QCOMPARE(result.messageText,
                 QStringLiteral("No recovery server is configured. Set MERLAX_RECOVERY_URL to "
                                "the server's address (for example http://host/) and try "
                                "again."));
    }

    void serverAddress_data() {
        QTest::addColumn<QString>("builtIn");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("address");
        const QString builtIn("http://units.example/fix");
        QTest::newRow("neither") << QString() << QString() << QString();
        QTest::newRow("built in") << builtIn << QString() << builtIn;
        QTest::newRow("environment replaces built in")
            << builtIn << QString("http://127.0.0.1:8080/a") << QString("http://127.0.0.1:8080/a");
        QTest::newRow("trailing '/' ignored") << builtIn + '/' << QString() << builtIn;
    }
    void serverAddress() {
        QFETCH(QString, builtIn);
        QFETCH(QString, environment);
        QTEST(ChooseRecoveryBaseURL(builtIn, environment), "address");
    }

    void serverAddressIsReadFromTheEnvironment() {
        qputenv("MERLAX_RECOVERY_URL", "http://127.0.0.1:8080/");
        const auto restore = qScopeGuard([] { qunsetenv("MERLAX_RECOVERY_URL"); });
        QCOMPARE(RecoveryBaseURL(), QStringLiteral("http://127.0.0.1:8080"));
    }

    void tempDirFollowsTMPDIR() { QCOMPARE(GetTempDir(), TempFolder.path() + QStringLiteral("/")); }

    void withoutATemporaryFolderNothingIsFetched() {
        LocalHttpServer server;
        server.respond(kUnitPath, 200, "5A0103C812000000;");
        qputenv("TMPDIR", QFile::encodeName(TempFolder.filePath(QStringLiteral("missing"))));
        const auto restore = qScopeGuard([this] { qputenv("TMPDIR", QFile::encodeName(TempFolder.path())); });
        QCOMPARE(GetTempDir(), QString());
        SerialRecovery recovery(server.baseUrl(), 5s);
        const SerialRecoveryResult result = recovery.OpenAndReadInternetSerialFile(QStringLiteral("004711"));
        QCOMPARE(result.outcome, Outcome::LocalFileError);
        QVERIFY(result.messageText.startsWith(QStringLiteral("Error loading data file : ")));
        QCOMPARE(server.requestPaths(), QByteArrayList());
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_Recovery.moc"

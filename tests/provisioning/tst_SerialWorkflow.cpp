#include "FirmwareProgrammer.h"
#include "LocalHttpServer.h"
#include "ModuleRig.h"
#include "SerialAllocation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
using Kind = PlannedFault::Kind;

// The core with a blank module (ID block not yet written) and a fresh
// serial-number database.
struct SerialRig : ModuleRig {
    SerialRig() {
        module.identity.init = 0xFF;
        module.identity.serial = 0xFFFF;
        serials().ReadSerialDBFile(folder.filePath("log.ser"));
        reporter.statuses.clear();
    }
    SerialAllocation& serials() { return core->serials(); }
    QByteArray log() const {
        QFile file(folder.filePath("log.ser"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir folder;
};

QString block(const SerialAllocation& serials) {
    QStringList bytes;
    for (qint16 b : serials.setSerialData())
        bytes << QString::number(b, 16);
    return bytes.join(' ');
}
} // namespace

class TestSerialWorkflow : public QObject {
    Q_OBJECT
private slots:
    void progOnlyWritesTheBlockAndNothingElse() {
        ModuleRig rig;
        rig.operations().WriteSerialNo();
        QCOMPARE(rig.heard(), QStringList{"5a 13 5a 01 01 01 00 00 00 00 70"});
        QCOMPARE(rig.reporter.statuses, (QStringList{"Writing serial number ...", "Write Serial OK."}));
        QCOMPARE(rig.core->serials().nextSerial(), 1);
    }

    // A unit is logged, and the next serial number given out, only when the
    // module holds the block written.
    void programAndLog_data() {
        QTest::addColumn<int>("fault"); // on the write, -1: none
        QTest::addColumn<int>("init");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<bool>("logged");
        const QStringList read{"Requesting Target ID", "ID Request OK."};
        const QStringList write{"Writing serial number ..."};
        QTest::newRow("logged") << -1 << 0xFF
                                << read + write + QStringList{"Write Serial OK."} + read +
                                       QStringList{"Writing the device data to the serial DB file", "OK"}
                                << true;
        QTest::newRow("already programmed")
            << -1 << 0x5A << read + QStringList{"Aborted - Serial No. already programmed"} << false;
        QTest::newRow("write refused")
            << int(Kind::Refuse) << 0xFF
            << read + write + QStringList{"Write Serial Failed."} + read + QStringList{"Write Serial Failed."}
            << false;
        QTest::newRow("acknowledgement lost, block written")
            << int(Kind::Delay) << 0xFF
            << read + write + QStringList{"No response."} + read +
                   QStringList{"Writing the device data to the serial DB file", "OK"}
            << true;
    }
    void programAndLog() {
        QFETCH(int, fault);
        QFETCH(int, init);
        QFETCH(QStringList, statuses);
        QFETCH(bool, logged);
        SerialRig rig;
        rig.module.identity.init = static_cast<quint8>(init);
        if (fault >= 0)
            rig.module.faults.plan(19, 1, {static_cast<Kind>(fault), 400});
        rig.serials().setMemo(QStringLiteral("line 3"));
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.reporter.statuses, statuses);
        QCOMPARE(rig.serials().nextSerial(), logged ? 2 : 1);
        const QByteArray log = rig.log();
        QCOMPARE(log.size(), logged ? 100 : 0);
        if (logged) {
            QCOMPARE(log.left(30), QByteArray("00001,00,00,00,01,00,00,00,00,")); // a new log: all zero
            QCOMPARE(log.mid(70, 12), QByteArray("      line 3"));
            QCOMPARE(log.right(3), QByteArray(";\r\n"));
        }
    }

    void withoutADatabaseNothingIsSent() {
        ModuleRig rig;
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.reporter.statuses, QStringList{"Error: No Serial DB file open."});
        QVERIFY(rig.module.heardFrames().isEmpty());
    }

    // The serial bytes follow the next serial number; the log reloads it.
    void consecutiveUnits() {
        SerialRig rig;
        rig.serials().EnterNextSerial(255);
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.serials().nextSerial(), 256);
        QCOMPARE(block(rig.serials()), QStringLiteral("0 0 0 0 1 0 0 0"));
        QCOMPARE(rig.module.model().idBlock()[3], quint8(0xFF));

        rig.module.identity.init = 0xFF;
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.serials().nextSerial(), 257);
        QCOMPARE(rig.log().mid(100, 6), QByteArray("00256,"));

        SerialAllocation reopened(rig.link(), rig.target(), rig.reporter);
        rig.serials().ReadSerialDBFile(rig.folder.filePath("other.ser")); // releases log.ser
        reopened.ReadSerialDBFile(rig.folder.filePath("log.ser"));
        QCOMPARE(reopened.nextSerial(), 257);
        QCOMPARE(rig.reporter.statuses.last(), QStringLiteral("File loaded with no errors."));
    }

    // Past 65535 no unit is written or logged.
    void theLastSerialNumber() {
        SerialRig rig;
        rig.serials().EnterNextSerial(65535);
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.serials().nextSerial(), 65536);
        rig.module.identity.init = 0xFF;
        rig.module.clearHeardFrames();
        rig.reporter.statuses.clear();
        rig.operations().ProgramAndLogSerialNo();
        QCOMPARE(rig.reporter.statuses, QStringList{"Error: Next serial number must be 1 to 65535."});
        QVERIFY(rig.module.heardFrames().isEmpty());
        QCOMPARE(rig.log().size(), 100);
    }

    void editorRanges() {
        ModuleRig rig;
        SerialAllocation& s = rig.core->serials();
        const std::pair<double, int> serials[] = {{0, 1}, {65536, 1}, {70000, 1}, {65535, 65535}, {2.5, 2}};
        for (const auto& [entered, result] : serials) {
            s.EnterNextSerial(entered);
            QCOMPARE(s.nextSerial(), result);
        }
        s.EnterSerialByte(3, 16); // SerL by hand: NextSerial stays
        QCOMPARE(block(s), QStringLiteral("5a 1 1 10 0 0 0 0"));
        QCOMPARE(s.nextSerial(), 2);
        const std::pair<double, int> bytes[] = {{256, 0}, {-1, 0}, {255, 255}, {12.5, 12}};
        for (const auto& [entered, result] : bytes) {
            s.EnterSerialByte(7, entered);
            QCOMPARE(s.setSerialData()[7], qint16(result));
        }
    }

    void progLogWriteFirmware() {
        SerialRig rig;
        rig.operations().ProgAll(false);
        QCOMPARE(rig.reporter.statuses, QStringList{"No Firmware file loaded"});
        QVERIFY(rig.module.heardFrames().isEmpty());

        QFile file(rig.folder.filePath("empty.fw"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromHex("01010000050200003b0d0a"));
        file.close();
        rig.core->programmer().ReadFirmwareFile(file.fileName());
        rig.serials().EnterSerialByte(1, 1); // the unit stays a system 1 module
        rig.reporter.statuses.clear();
        rig.operations().ProgAll(false);
        QCOMPARE(rig.reporter.statuses.mid(rig.reporter.statuses.indexOf("OK")),
                 (QStringList{"OK", "Erasing ....", "Program complete."}));
        QCOMPARE(rig.log().size(), 100);
    }

    // The unit's ID block from the recovery server, written into the module.
    void recovery_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("written");
        QTest::newRow("good file") << "004711" << QByteArray("5A0103C812000000;\r\n")
                                   << QStringList{"OK.", "Writing serial number ...", "Write Serial OK."}
                                   << "5a 13 5a 01 03 c8 12 00 00 00 4b";
        QTest::newRow("one short") << "004711" << QByteArray("5A0103C81200000;") << QStringList{"Failed"}
                                   << "";
        QTest::newRow("short entry") << "4711" << QByteArray() << QStringList{} << "";
    }
    void recovery() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, statuses);
        QFETCH(QString, written);
        LocalHttpServer server;
        server.respond("/Temp/004711_Fix.dat", 200, file);
        qputenv("MERLAX_RECOVERY_URL", server.baseUrl().toLatin1() + "/");
        ModuleRig rig;
        rig.operations().RecoverSerialNo(typed);
        qunsetenv("MERLAX_RECOVERY_URL");
        QCOMPARE(rig.reporter.statuses, statuses);
        QCOMPARE(rig.heard(), written.isEmpty() ? QStringList{} : QStringList{written});
        QCOMPARE(rig.reporter.mainStatuses, typed.size() == 6 ? QStringList{} : QStringList{"Invalid code."});
        QCOMPARE(server.requestPaths().size(), typed.size() == 6 ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestSerialWorkflow)
#include "tst_SerialWorkflow.moc"
